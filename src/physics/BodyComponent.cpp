#include "physics/BodyComponent.h"

#include <btBulletDynamicsCommon.h>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BulletConvert.h"
#include "physics/KinematicMotionState.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptHost.h"

BodyComponent::BodyComponent() = default;

BodyComponent::~BodyComponent() {
    // A store released or reset with a body still built must not leave it in
    // the world, where the next step would read freed memory.
    Cleanup();
}

void BodyComponent::Initialize() {
    ScriptHost& scripts = ScriptHost::Instance();
    if (body) {
        scripts.ReportError("Error, the BodyComponent of object %u already has a body; it is "
                            "built once per time the component is added.",
                            owner.id);
        return;
    }
    PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    btDiscreteDynamicsWorld* target = physics ? physics->GetWorld() : nullptr;
    if (!target) {
        scripts.ReportError("Error, the BodyComponent of object %u cannot be built before the "
                            "PhysicsSystem is initialized.",
                            owner.id);
        return;
    }
    if (!ObjectManager::HasComponent<TransformComponent>(owner)) {
        scripts.ReportError("Error, the BodyComponent of object %u needs a TransformComponent "
                            "on the same object.",
                            owner.id);
        return;
    }

    ShapeKind kind = ShapeKind::NotSet;
    std::unique_ptr<btCollisionShape> shape;
    if (pendingShape) {
        const std::uint32_t id = *pendingShape;
        pendingShape.reset();
        if (!Shape::Take(id, kind, shape)) {
            scripts.ReportError("Error, the Shape (shape id %u) of the BodyComponent of object "
                                "%u was already taken by another body; make one Shape per body.",
                                id, owner.id);
            return;
        }
    }
    if (kind == ShapeKind::NotSet) {
        shape = std::make_unique<btEmptyShape>();
        kind = ShapeKind::Empty;
    }

    const TransformComponent& transform = *ObjectManager::GetComponent<TransformComponent>(owner);
    const btTransform start =
        ToBulletTransform(transform.position + originOffset, transform.orientation);
    if (isKinematic)
        motionState = std::make_unique<KinematicMotionState>(owner);
    else
        motionState = std::make_unique<btDefaultMotionState>(start);

    btVector3 inertia = ToBullet(initialLocalInertia);
    if (kind != ShapeKind::Empty)
        shape->calculateLocalInertia(initialMass, inertia);

    btRigidBody::btRigidBodyConstructionInfo info(initialMass, motionState.get(), shape.get(),
                                                  inertia);
    if (initialRestitution != kUnset)
        info.m_restitution = initialRestitution;
    if (initialFriction != kUnset)
        info.m_friction = initialFriction;
    if (initialRollingFriction != kUnset)
        info.m_rollingFriction = initialRollingFriction;

    collisionShape = std::move(shape);
    shapeKind = kind;
    body = std::make_unique<btRigidBody>(info);
    if (isKinematic) {
        body->setCollisionFlags(body->getCollisionFlags() | btCollisionObject::CF_KINEMATIC_OBJECT);
        body->setActivationState(DISABLE_DEACTIVATION);
    }
    world = target;
    world->addRigidBody(body.get(), collisionType, collidesWith);

    body->applyTorque(ToBullet(initialTorque));
    body->applyCentralForce(ToBullet(initialForce));
    body->setLinearVelocity(ToBullet(initialVelocity));
    body->setAngularVelocity(ToBullet(initialAngularVelocity));
}

void BodyComponent::OnRemove() {
    Cleanup();
}

void BodyComponent::OnAdd() {
    Cleanup();
    isKinematic = false;
    initialMass = 0.0f;
    initialLocalInertia = glm::vec3(0.0f);
    initialRestitution = initialFriction = initialRollingFriction = kUnset;
    initialTorque = initialForce = initialVelocity = initialAngularVelocity = glm::vec3(0.0f);
    collisionType = collidesWith = 0;
}

void BodyComponent::Cleanup() {
    originOffset = glm::vec3(0.0f);
    if (body && world)
        world->removeRigidBody(body.get());
    world = nullptr;
    body.reset();
    collisionShape.reset();
    shapeKind = ShapeKind::NotSet;
    motionState.reset();
    pendingShape.reset();
}

void BodyComponent::ForgetWorld() {
    world = nullptr;
}

bool BodyComponent::HasLiveBody(const char* function) const {
    if (body)
        return true;
    ScriptHost::Instance().ReportError("Error in BodyComponent.%s: object %u has no body; "
                                       "initialize the object first.",
                                       function, owner.id);
    return false;
}

void BodyComponent::SetVelocity(const glm::vec3& velocity) {
    if (HasLiveBody("SetVelocity"))
        body->setLinearVelocity(ToBullet(velocity));
}

void BodyComponent::SetAngularVelocity(const glm::vec3& velocity) {
    if (HasLiveBody("SetAngularVelocity"))
        body->setAngularVelocity(ToBullet(velocity));
}

void BodyComponent::ApplyTorque(const glm::vec3& torque) {
    if (HasLiveBody("ApplyTorque"))
        body->applyTorque(ToBullet(torque));
}

void BodyComponent::ApplyForce(const glm::vec3& force) {
    if (HasLiveBody("ApplyForce"))
        body->applyCentralForce(ToBullet(force));
}
