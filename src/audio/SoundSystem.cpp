#include "audio/SoundSystem.h"

#include "core/ListeningSystem.h"

SoundSystem::SoundSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void SoundSystem::HandleMessage(const MessagePointer&) {}
