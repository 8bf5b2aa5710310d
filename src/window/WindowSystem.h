#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// The render window, the input event pump and presenting the frame.
class WindowSystem : public Core::System, public MessageListener {
  public:
    explicit WindowSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
