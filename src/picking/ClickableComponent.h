#pragma once

#include "physics/RayTestResult.h"
#include "picking/MouseCallbackComponent.h"

class MessagePointer;

// Makes an object's physics body pickable with the mouse: the mouse is on the
// object when the game logic's pick names it. Its script functions get the
// owner and the picked point in the world.
class ClickableComponent : public MouseCallbackComponent {
  public:
    static constexpr float kTriggerDelay = 0.001f;

    // initFunction(owner).
    void Initialize() override;
    // destructFunction(owner).
    void OnRemove() override;
    void OnAdd() override;
    // The game logic hands every attached clickable what lies under the mouse:
    // once per frame, and with every mouse message.
    virtual void Update(float dt, const RayTestResult& pick);
    virtual void HandleMessage(const MessagePointer& message, const RayTestResult& pick);

  private:
    // Ids only: the pick is made now, so it cannot name an older object.
    bool IsOn(const RayTestResult& pick) const { return pick.object.id == owner.id; }
};
