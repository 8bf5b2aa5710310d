#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include <glm/vec3.hpp>

#include "core/System.h"
#include "messaging/MessageListener.h"
#include "physics/CollisionEvents.h"
#include "physics/RayTestResult.h"

class MessageManager;
class PhysicsDebugDrawer;
class btBroadphaseInterface;
class btCollisionConfiguration;
class btCollisionDispatcher;
class btCollisionShape;
class btConstraintSolver;
class btDiscreteDynamicsWorld;
class btMotionState;
class btRigidBody;

// The rigid-body world. Each frame it advances in fixed 1/60 s steps (or, in
// step mode, one step per frame while the space bar is held) and writes every
// body's pose back into its object's transform; it answers closest-hit ray
// queries and draws the world's debug lines when asked.
class PhysicsSystem : public Core::System, public MessageListener {
  public:
    static constexpr float kFixedStep = 1.0f / 60.0f;
    static constexpr int kMaxSubSteps = 10;
    static constexpr std::uint32_t kStepKey = 277; // the space bar
    // Collision groups of the ground plane and of ray queries.
    static constexpr int kRayGroup = 1;
    static constexpr int kAllGroups = 7;

    explicit PhysicsSystem(MessageManager& messages);
    ~PhysicsSystem() override;

    // Builds the world (once; a second call changes nothing). stepMode and
    // debugDraw start false here; gravity and makeGroundPlane are read here
    // and nowhere else.
    void Initialize() override;
    void Update(float dt) override;
    JSObject* GetJSInstance() override;
    // Every body's collision functions, and the touches and calls under way.
    void ForgetScriptState() override;
    virtual void HandleMessage(const MessagePointer& message);

    // Closest body hit on the segment from `from` to `to`, among bodies whose
    // group meets 7 and whose mask has bit 1. A miss gives (0, 0, 0); a miss
    // and the ground plane give the invalid object handle.
    RayTestResult RayTestClosestPoint(const glm::vec3& from, const glm::vec3& to);
    // The same over every body, whatever its groups: tools pick what the
    // game's rays are told to pass by.
    RayTestResult RayTestAnyBody(const glm::vec3& from, const glm::vec3& to);

    // The objects whose bodies overlap a sphere or a box (axis-aligned), by
    // id; bodies are filtered as for RayTestClosestPoint, with `mask` in place
    // of all groups. A NaN, an infinity or a negative size is a script error
    // and finds nothing.
    std::vector<GameObject> OverlapSphere(const glm::vec3& center, float radius,
                                          int mask = kAllGroups);
    std::vector<GameObject> OverlapBox(const glm::vec3& center, const glm::vec3& halfExtents,
                                       int mask = kAllGroups);

    CollisionEvents& GetCollisionEvents() { return collisionEvents; }

    // Null before Initialize.
    btDiscreteDynamicsWorld* GetWorld() const { return world.get(); }
    btRigidBody* GetGroundBody() const { return groundBody.get(); }
    PhysicsDebugDrawer* GetDebugDrawer() const { return debugDrawer.get(); }

    // Every attached body's pose into its object's transform, in store order.
    void WritePosesBack();

    bool stepMode = false;
    bool debugDraw = false;
    bool makeGroundPlane = false;
    glm::vec3 gravity{0.0f, -9.8f, 0.0f};

  private:
    // Wakes every sleeping body whose transform a script has moved since the
    // last write-back, as a push by script would: it takes part in the steps
    // again (a dynamic body's transform still snaps back to the body).
    void WakeMovedBodies();

    MessageManager& messages;
    std::unique_ptr<PhysicsDebugDrawer> debugDrawer;
    std::unique_ptr<btBroadphaseInterface> broadphase;
    std::unique_ptr<btCollisionConfiguration> collisionConfiguration;
    std::unique_ptr<btCollisionDispatcher> dispatcher;
    std::unique_ptr<btConstraintSolver> solver;
    std::unique_ptr<btDiscreteDynamicsWorld> world;
    std::unique_ptr<btCollisionShape> groundShape;
    std::unique_ptr<btMotionState> groundMotionState;
    std::unique_ptr<btRigidBody> groundBody;
    CollisionEvents collisionEvents;
};
