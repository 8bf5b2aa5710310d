#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// Live tweak panels, driven entirely by messages.
class AntBarSystem : public Core::System, public MessageListener {
  public:
    explicit AntBarSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
