#pragma once

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// The renderer: draws every frame's voxels, sprites and overlays.
class GraphicsSystem : public Core::System, public MessageListener {
  public:
    explicit GraphicsSystem(MessageManager& messages);
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
};
