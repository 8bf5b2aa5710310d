#include "physics/PhysicsSystem.h"

#include "core/ListeningSystem.h"

PhysicsSystem::PhysicsSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void PhysicsSystem::HandleMessage(const MessagePointer&) {}
