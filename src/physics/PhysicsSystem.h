#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// The rigid-body world, stepped at a fixed rate.
class PhysicsSystem : public Core::System, public MessageListener {
  public:
    explicit PhysicsSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
