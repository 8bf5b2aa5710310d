#include "physics/PhysicsSystem.h"

#include <btBulletDynamicsCommon.h>

#include <cmath>

#include "core/Core.h"
#include "core/ListeningSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/OverlapQuery.h"
#include "physics/PhysicsDebugDrawer.h"
#include "script/ScriptHost.h"
#include "window/WindowSystem.h"

PhysicsSystem::PhysicsSystem(MessageManager& messages) : messages(messages) {
    StartListening(messages, this);
}

PhysicsSystem::~PhysicsSystem() {
    messages.RemoveListener(listener);
    if (!world)
        return;
    // Bodies stay with their components, which must not reach into the freed
    // world when they are cleaned up later.
    ComponentFactory<BodyComponent>& bodies = ComponentFactory<BodyComponent>::Instance();
    for (std::size_t id = 0; id < bodies.Size(); ++id) {
        BodyComponent& body = *bodies.At(static_cast<std::uint32_t>(id));
        if (body.GetBody() && body.GetBody()->isInWorld()) {
            world->removeRigidBody(body.GetBody());
            body.ForgetWorld();
        }
    }
    if (groundBody)
        world->removeRigidBody(groundBody.get());
    world.reset();
    solver.reset();
    dispatcher.reset();
    collisionConfiguration.reset();
    broadphase.reset();
    debugDrawer.reset();
    groundShape.reset();
    groundMotionState.reset();
    groundBody.reset();
}

void PhysicsSystem::Initialize() {
    stepMode = false;
    debugDraw = false;
    if (world)
        return;
    debugDrawer = std::make_unique<PhysicsDebugDrawer>();
    broadphase = std::make_unique<btDbvtBroadphase>();
    collisionConfiguration = std::make_unique<btDefaultCollisionConfiguration>();
    dispatcher = std::make_unique<btCollisionDispatcher>(collisionConfiguration.get());
    solver = std::make_unique<btSequentialImpulseConstraintSolver>();
    world = std::make_unique<btDiscreteDynamicsWorld>(dispatcher.get(), broadphase.get(),
                                                      solver.get(), collisionConfiguration.get());
    world->setGravity(ToBullet(gravity));
    world->setDebugDrawer(debugDrawer.get());

    if (makeGroundPlane) {
        groundShape = std::make_unique<btStaticPlaneShape>(btVector3(0, 1, 0), 0.0f);
        groundMotionState = std::make_unique<btDefaultMotionState>(btTransform::getIdentity());
        btRigidBody::btRigidBodyConstructionInfo info(0.0f, groundMotionState.get(),
                                                      groundShape.get(), btVector3(0, 0, 0));
        groundBody = std::make_unique<btRigidBody>(info);
        world->addRigidBody(groundBody.get(), kRayGroup, kAllGroups);
    }
}

void PhysicsSystem::Update(float dt) {
    if (!world)
        return;
    WakeMovedBodies();
    int steps = 0;
    if (!stepMode) {
        steps = world->stepSimulation(dt, kMaxSubSteps, kFixedStep);
    } else {
        // A space typed into the developer console or a panel's text field is
        // not a step: the window answers that no key is down then.
        const WindowSystem* window = Core::Instance().WindowSystem_;
        if (window && window->IsKeyDown(kStepKey))
            steps = world->stepSimulation(kFixedStep, 1, kFixedStep);
    }
    // Scripts hear of the touches before the poses reach the transforms, so
    // what they delete or move is not written back.
    if (steps > 0)
        collisionEvents.Scan(*world->getDispatcher(), groundBody.get());
    collisionEvents.Deliver();
    WritePosesBack();
}

void PhysicsSystem::ForgetScriptState() {
    ComponentFactory<BodyComponent>::Instance().ForEachAttached([](BodyComponent& body) {
        body.SetCollisionEnterFunction(ScriptCallback());
        body.SetCollisionExitFunction(ScriptCallback());
    });
    collisionEvents.Clear();
}

void PhysicsSystem::WritePosesBack() {
    ComponentFactory<BodyComponent>::Instance().ForEachAttached([](BodyComponent& body) {
        const btMotionState* motion = body.GetMotionState();
        if (!motion)
            return;
        TransformComponent* transform = ObjectManager::GetComponent<TransformComponent>(body.owner);
        if (!transform || !transform->IsAttached())
            return;
        btTransform pose;
        motion->getWorldTransform(pose);
        transform->position = FromBullet(pose.getOrigin());
        btQuaternion rotation;
        pose.getBasis().getRotation(rotation);
        transform->orientation = FromBullet(rotation);
        body.RememberPose(transform->position, transform->orientation);
    });
}

void PhysicsSystem::WakeMovedBodies() {
    ComponentFactory<BodyComponent>::Instance().ForEachAttached([](BodyComponent& body) {
        const TransformComponent* transform =
            ObjectManager::GetComponent<TransformComponent>(body.owner);
        if (transform && transform->IsAttached())
            body.WakeIfMoved(transform->position, transform->orientation);
    });
}

namespace {

// Bullet's filter asks both sides to accept each other; a body of group 0
// accepts no ray, so this one asks only whether the object is a body.
struct AnyBodyRayCallback : btCollisionWorld::ClosestRayResultCallback {
    using ClosestRayResultCallback::ClosestRayResultCallback;
    bool needsCollision(btBroadphaseProxy*) const override { return true; }
};

RayTestResult RayTest(btDiscreteDynamicsWorld* world, const btCollisionObject* ground,
                      const glm::vec3& from, const glm::vec3& to,
                      btCollisionWorld::ClosestRayResultCallback& hit) {
    RayTestResult result;
    if (!world)
        return result;
    world->rayTest(ToBullet(from), ToBullet(to), hit);
    if (!hit.hasHit())
        return result;
    result.intersection = FromBullet(hit.m_hitPointWorld);
    if (hit.m_collisionObject == ground)
        return result;
    ComponentFactory<BodyComponent>::Instance().ForEachAttached([&](BodyComponent& body) {
        if (body.GetBody() == hit.m_collisionObject)
            result.object = body.owner;
    });
    return result;
}

} // namespace

RayTestResult PhysicsSystem::RayTestClosestPoint(const glm::vec3& from, const glm::vec3& to) {
    btCollisionWorld::ClosestRayResultCallback hit(ToBullet(from), ToBullet(to));
    hit.m_collisionFilterGroup = kRayGroup;
    hit.m_collisionFilterMask = kAllGroups;
    return RayTest(world.get(), groundBody.get(), from, to, hit);
}

RayTestResult PhysicsSystem::RayTestAnyBody(const glm::vec3& from, const glm::vec3& to) {
    AnyBodyRayCallback hit(ToBullet(from), ToBullet(to));
    return RayTest(world.get(), groundBody.get(), from, to, hit);
}

namespace {

bool IsFinite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

std::vector<GameObject> PhysicsSystem::OverlapSphere(const glm::vec3& center, float radius,
                                                     int mask) {
    ScriptHost& scripts = ScriptHost::Instance();
    if (!IsFinite(center) || !std::isfinite(radius) || radius < 0.0f) {
        scripts.ReportError("Error in PhysicsSystem.OverlapSphere: center (%g, %g, %g) and radius "
                            "%g must be finite, the radius 0 or more.",
                            center.x, center.y, center.z, radius);
        return {};
    }
    if (!world)
        return {};
    btSphereShape sphere(radius);
    return FindOverlaps(*world, sphere, center, mask);
}

std::vector<GameObject> PhysicsSystem::OverlapBox(const glm::vec3& center,
                                                  const glm::vec3& halfExtents, int mask) {
    ScriptHost& scripts = ScriptHost::Instance();
    if (!IsFinite(center) || !IsFinite(halfExtents) ||
        glm::any(glm::lessThan(halfExtents, glm::vec3(0.0f)))) {
        scripts.ReportError("Error in PhysicsSystem.OverlapBox: center (%g, %g, %g) and half "
                            "extents (%g, %g, %g) must be finite, the half extents 0 or more.",
                            center.x, center.y, center.z, halfExtents.x, halfExtents.y,
                            halfExtents.z);
        return {};
    }
    if (!world)
        return {};
    btBoxShape box(ToBullet(halfExtents));
    return FindOverlaps(*world, box, center, mask);
}

void PhysicsSystem::HandleMessage(const MessagePointer& message) {
    if (message->id == MID_DebugDrawMessage && debugDraw && world)
        world->debugDrawWorld();
}
