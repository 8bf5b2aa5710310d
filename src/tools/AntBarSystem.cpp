#include "tools/AntBarSystem.h"

#include "core/ListeningSystem.h"

AntBarSystem::AntBarSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void AntBarSystem::HandleMessage(const MessagePointer&) {}
