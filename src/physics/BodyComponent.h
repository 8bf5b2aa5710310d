#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>

#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include "objects/Component.h"
#include "physics/Shape.h"
#include "script/ScriptCallback.h"

class PhysicsSystem;
class btCollisionObject;
class btCollisionShape;
class btDiscreteDynamicsWorld;
class btMotionState;
class btRigidBody;

// The object's rigid body in the physics world. Scripts fill in the initial
// values and a shape, then initialize the object: the body is built at the
// object's transform and added to the world, and from then on the physics
// system writes its pose back into the transform (a kinematic body follows the
// transform instead). The component owns body, shape and motion state.
class BodyComponent : public Component {
  public:
    // A surface value left at this keeps the library's own default.
    static constexpr float kUnset = std::numeric_limits<float>::max();

    BodyComponent();
    ~BodyComponent() override;
    BodyComponent(const BodyComponent&) = delete;
    BodyComponent& operator=(const BodyComponent&) = delete;

    // Builds the body and adds it to the physics system's world. A script
    // error, and no body, when the object has no transform, the physics
    // system has no world yet, the body exists already, or the assigned Shape
    // was taken by another body.
    void Initialize() override;
    // Takes the body out of the world and frees body, shape and motion state;
    // safe to repeat.
    void OnRemove() override;
    // Frees a body left from before (a component added again), then restores
    // every default.
    void OnAdd() override;

    // On the live body; a script error before initialization. Each one wakes
    // a sleeping body: the library skips sleeping bodies entirely, so the
    // script's push would otherwise be lost until something touched it.
    void SetVelocity(const glm::vec3& velocity);
    void SetAngularVelocity(const glm::vec3& velocity);
    void ApplyTorque(const glm::vec3& torque);
    void ApplyForce(const glm::vec3& force);
    glm::vec3 GetVelocity() const;
    glm::vec3 GetAngularVelocity() const;
    bool IsSleeping() const;

    // Whether the library may put the body to sleep once it has rested for a
    // while; kept before initialization and applied to the live body at once.
    // Kinematic bodies never sleep whatever it says: they must read their
    // transform every step.
    bool GetAllowSleep() const { return allowSleep; }
    void SetAllowSleep(bool allow);

    // The pose the physics system last wrote into the transform; a transform
    // that differs from it was moved by a script, which wakes the body.
    void WakeIfMoved(const glm::vec3& position, const glm::quat& orientation);
    void RememberPose(const glm::vec3& position, const glm::quat& orientation);

    // Puts the live body at the pose its transform was given by hand, at once
    // and at rest: placed there, not pushed. Nothing before initialization.
    void SetPose(const glm::vec3& position, const glm::quat& orientation);
    // The shape the body was built with, or the one assigned and not yet
    // taken; kind NotSet for none.
    ShapeParameters GetShapeParameters() const;

    btRigidBody* GetBody() const { return body.get(); }
    btMotionState* GetMotionState() const { return motionState.get(); }
    btCollisionShape* GetCollisionShape() const { return collisionShape.get(); }
    ShapeKind GetShapeKind() const { return shapeKind; }

    // The world is going away before this component: forget the body's place
    // in it so clean-up does not reach into a freed world.
    void ForgetWorld();

    // Called with (obj, other, contact) when the body starts touching another
    // and with (obj, other) when they stop, `other` null for the ground plane
    // (see CollisionEvents). Bodies with neither cost the collision scan nothing.
    const ScriptCallback& GetCollisionEnterFunction() const { return collisionEnter; }
    const ScriptCallback& GetCollisionExitFunction() const { return collisionExit; }
    void SetCollisionEnterFunction(const ScriptCallback& function);
    void SetCollisionExitFunction(const ScriptCallback& function);

    // A trigger reports touches like any body but nothing collides with it;
    // applied to the live body at once.
    bool IsTrigger() const { return isTrigger; }
    void SetTrigger(bool trigger);

    // The component whose body `object` is; null for bodies no component owns.
    static BodyComponent* Of(const btCollisionObject* object);
    // Whether the body's component has a collision function set.
    static bool Listens(const btCollisionObject* object);

    bool isKinematic = false;
    float initialMass = 0.0f;
    glm::vec3 initialLocalInertia{0.0f};
    float initialRestitution = kUnset;
    float initialFriction = kUnset;
    float initialRollingFriction = kUnset;
    glm::vec3 initialTorque{0.0f};
    glm::vec3 initialForce{0.0f};
    glm::vec3 initialVelocity{0.0f};
    glm::vec3 initialAngularVelocity{0.0f};
    std::uint16_t collisionType = 0;
    std::uint16_t collidesWith = 0;
    glm::vec3 originOffset{0.0f};
    // Id of the Shape a script assigned; taken out of the shape table at
    // initialization.
    std::optional<std::uint32_t> pendingShape;

  private:
    void Cleanup();
    // Ends the body's touches, with exit calls, before it leaves the world.
    void LeaveTouches();
    void UpdateListening();
    void ApplyTriggerSetting();
    bool HasLiveBody(const char* function) const;
    void Wake();
    void ApplySleepSetting();

    std::unique_ptr<btCollisionShape> collisionShape;
    ShapeKind shapeKind = ShapeKind::NotSet;
    std::unique_ptr<btMotionState> motionState;
    std::unique_ptr<btRigidBody> body;
    btDiscreteDynamicsWorld* world = nullptr;
    // The world's system, whose collision events count this body while it listens.
    PhysicsSystem* system = nullptr;
    bool allowSleep = true;
    bool isTrigger = false;
    bool listening = false;
    ScriptCallback collisionEnter;
    ScriptCallback collisionExit;
    glm::vec3 writtenPosition{0.0f};
    glm::quat writtenOrientation{1.0f, 0.0f, 0.0f, 0.0f};
};
