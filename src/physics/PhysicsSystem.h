#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"
#include "physics/RayTestResult.h"

class MessageManager;

// The rigid-body world, stepped at a fixed rate.
class PhysicsSystem : public Core::System, public MessageListener {
  public:
    explicit PhysicsSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;

    // Closest body hit on the segment from `from` to `to`.
    RayTestResult RayTestClosestPoint(const glm::vec3& from, const glm::vec3& to);
};
