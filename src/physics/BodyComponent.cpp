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
    ApplySleepSetting();
    ApplyTriggerSetting();
    body->setUserIndex(static_cast<int>(owner.id));
    RememberPose(transform.position, transform.orientation);
    world = target;
    system = physics;
    world->addRigidBody(body.get(), collisionType, collidesWith);

    body->applyTorque(ToBullet(initialTorque));
    body->applyCentralForce(ToBullet(initialForce));
    body->setLinearVelocity(ToBullet(initialVelocity));
    body->setAngularVelocity(ToBullet(initialAngularVelocity));
    UpdateListening();
}

void BodyComponent::OnRemove() {
    // The exit functions may clear the world, and with it this slot.
    const std::uint64_t clears = ObjectManager::ClearCount();
    LeaveTouches();
    if (ObjectManager::ClearCount() != clears)
        return;
    Cleanup();
    collisionEnter.Reset();
    collisionExit.Reset();
}

void BodyComponent::OnAdd() {
    LeaveTouches();
    Cleanup();
    collisionEnter.Reset();
    collisionExit.Reset();
    isTrigger = false;
    isKinematic = false;
    initialMass = 0.0f;
    initialLocalInertia = glm::vec3(0.0f);
    initialRestitution = initialFriction = initialRollingFriction = kUnset;
    initialTorque = initialForce = initialVelocity = initialAngularVelocity = glm::vec3(0.0f);
    collisionType = collidesWith = 0;
    allowSleep = true;
}

void BodyComponent::Cleanup() {
    originOffset = glm::vec3(0.0f);
    if (listening && system) {
        listening = false;
        system->GetCollisionEvents().CountListener(false);
    }
    if (body && world)
        world->removeRigidBody(body.get());
    world = nullptr;
    system = nullptr;
    body.reset();
    collisionShape.reset();
    shapeKind = ShapeKind::NotSet;
    motionState.reset();
    pendingShape.reset();
}

void BodyComponent::ForgetWorld() {
    world = nullptr;
    system = nullptr;
    listening = false;
}

void BodyComponent::LeaveTouches() {
    if (body && system)
        system->GetCollisionEvents().Leave(*this);
}

void BodyComponent::SetCollisionEnterFunction(const ScriptCallback& function) {
    collisionEnter = function;
    UpdateListening();
}

void BodyComponent::SetCollisionExitFunction(const ScriptCallback& function) {
    collisionExit = function;
    UpdateListening();
}

void BodyComponent::UpdateListening() {
    const bool now = body && system && (collisionEnter.IsFunction() || collisionExit.IsFunction());
    if (now == listening)
        return;
    listening = now;
    system->GetCollisionEvents().CountListener(now);
    // Read by the scan for every manifold: a flag on the body is the cheapest look.
    if (body)
        body->setUserIndex2(now ? 1 : 0);
}

BodyComponent* BodyComponent::Of(const btCollisionObject* object) {
    const int id = object->getUserIndex();
    if (id < 0)
        return nullptr;
    BodyComponent* component =
        ComponentFactory<BodyComponent>::Instance().At(static_cast<std::uint32_t>(id));
    return component && component->IsAttached() && component->GetBody() == object ? component
                                                                                  : nullptr;
}

bool BodyComponent::Listens(const btCollisionObject* object) {
    return object->getUserIndex2() == 1;
}

void BodyComponent::SetTrigger(bool trigger) {
    isTrigger = trigger;
    if (body)
        ApplyTriggerSetting();
}

void BodyComponent::ApplyTriggerSetting() {
    const int flags = body->getCollisionFlags();
    const int response = btCollisionObject::CF_NO_CONTACT_RESPONSE;
    body->setCollisionFlags(isTrigger ? flags | response : flags & ~response);
}

bool BodyComponent::HasLiveBody(const char* function) const {
    if (body)
        return true;
    ScriptHost::Instance().ReportError("Error in BodyComponent.%s: object %u has no body; "
                                       "initialize the object first.",
                                       function, owner.id);
    return false;
}

void BodyComponent::Wake() {
    // A kinematic body of mass 0 carries the static flag as well.
    if (body->isKinematicObject() || !body->isStaticObject())
        body->activate(true);
}

void BodyComponent::SetVelocity(const glm::vec3& velocity) {
    if (!HasLiveBody("SetVelocity"))
        return;
    body->setLinearVelocity(ToBullet(velocity));
    Wake();
}

void BodyComponent::SetAngularVelocity(const glm::vec3& velocity) {
    if (!HasLiveBody("SetAngularVelocity"))
        return;
    body->setAngularVelocity(ToBullet(velocity));
    Wake();
}

void BodyComponent::ApplyTorque(const glm::vec3& torque) {
    if (!HasLiveBody("ApplyTorque"))
        return;
    body->applyTorque(ToBullet(torque));
    Wake();
}

void BodyComponent::ApplyForce(const glm::vec3& force) {
    if (!HasLiveBody("ApplyForce"))
        return;
    body->applyCentralForce(ToBullet(force));
    Wake();
}

glm::vec3 BodyComponent::GetVelocity() const {
    return HasLiveBody("GetVelocity") ? FromBullet(body->getLinearVelocity()) : glm::vec3(0.0f);
}

glm::vec3 BodyComponent::GetAngularVelocity() const {
    return HasLiveBody("GetAngularVelocity") ? FromBullet(body->getAngularVelocity())
                                             : glm::vec3(0.0f);
}

bool BodyComponent::IsSleeping() const {
    if (!HasLiveBody("IsSleeping"))
        return false;
    // Static bodies are never simulated, whatever state the library left them in.
    if (body->isStaticObject() && !body->isKinematicObject())
        return true;
    return body->getActivationState() == ISLAND_SLEEPING;
}

void BodyComponent::SetAllowSleep(bool allow) {
    allowSleep = allow;
    if (body)
        ApplySleepSetting();
}

void BodyComponent::ApplySleepSetting() {
    // Kinematic bodies are kept awake from the start, and static ones never
    // take part in the simulation.
    if (body->isStaticOrKinematicObject())
        return;
    if (!allowSleep) {
        body->forceActivationState(DISABLE_DEACTIVATION);
    } else if (body->getActivationState() == DISABLE_DEACTIVATION) {
        // The rest timer starts again from now.
        body->forceActivationState(ACTIVE_TAG);
        body->activate(true);
    }
}

void BodyComponent::SetPose(const glm::vec3& position, const glm::quat& orientation) {
    if (!body)
        return;
    const btTransform pose = ToBulletTransform(position + originOffset, orientation);
    body->setWorldTransform(pose);
    body->setInterpolationWorldTransform(pose);
    // A kinematic body's motion state reads the transform itself.
    if (!isKinematic)
        motionState->setWorldTransform(pose);
    body->setLinearVelocity(btVector3(0, 0, 0));
    body->setAngularVelocity(btVector3(0, 0, 0));
    body->setInterpolationLinearVelocity(btVector3(0, 0, 0));
    body->setInterpolationAngularVelocity(btVector3(0, 0, 0));
    body->clearForces();
    // A static body is never moved by the world, so its bounds would stay behind.
    if (world != nullptr)
        world->updateSingleAabb(body.get());
    RememberPose(position, orientation);
    Wake();
}

ShapeParameters BodyComponent::GetShapeParameters() const {
    if (collisionShape)
        return ShapeParameters::Of(shapeKind, collisionShape.get());
    if (pendingShape)
        if (const Shape* shape = Shape::Find(*pendingShape))
            return shape->GetParameters();
    return {};
}

void BodyComponent::RememberPose(const glm::vec3& position, const glm::quat& orientation) {
    writtenPosition = position;
    writtenOrientation = orientation;
}

void BodyComponent::WakeIfMoved(const glm::vec3& position, const glm::quat& orientation) {
    if (body && !body->isActive() &&
        (position != writtenPosition || orientation != writtenOrientation))
        Wake();
}
