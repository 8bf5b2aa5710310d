#include "window/WindowSystem.h"

#include "core/ListeningSystem.h"

WindowSystem::WindowSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void WindowSystem::HandleMessage(const MessagePointer&) {}
