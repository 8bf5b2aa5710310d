#include "logic/GameLogicSystem.h"

#include "core/ListeningSystem.h"

GameLogicSystem::GameLogicSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void GameLogicSystem::HandleMessage(const MessagePointer&) {}
