#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// Sound effects and streamed music.
class SoundSystem : public Core::System, public MessageListener {
  public:
    explicit SoundSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
