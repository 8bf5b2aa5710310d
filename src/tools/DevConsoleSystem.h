#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// The in-game developer console.
class DevConsoleSystem : public Core::System, public MessageListener {
  public:
    explicit DevConsoleSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
