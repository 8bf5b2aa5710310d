#include "graphics/GraphicsSystem.h"

#include "core/ListeningSystem.h"

GraphicsSystem::GraphicsSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void GraphicsSystem::HandleMessage(const MessagePointer&) {}
