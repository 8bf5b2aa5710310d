#pragma once

#include "objects/Component.h"
#include "physics/RayTestResult.h"

class MessagePointer;

// Makes an object's physics body pickable with the mouse, with script callbacks.
class ClickableComponent : public Component {
  public:
    // The game logic hands every attached clickable what lies under the mouse:
    // once per frame, and with every mouse message.
    virtual void Update(float /*dt*/, const RayTestResult& /*pick*/) {}
    virtual void HandleMessage(const MessagePointer& /*message*/, const RayTestResult& /*pick*/) {}
};
