#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// Runs the game's per-frame script, component families and game states.
class GameLogicSystem : public Core::System, public MessageListener {
  public:
    explicit GameLogicSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
