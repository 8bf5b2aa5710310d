#include "tools/DevConsoleSystem.h"

#include "core/ListeningSystem.h"

DevConsoleSystem::DevConsoleSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void DevConsoleSystem::HandleMessage(const MessagePointer&) {}
