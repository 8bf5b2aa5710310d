#include "physics/PhysicsSystem.h"

#include "core/ListeningSystem.h"

PhysicsSystem::PhysicsSystem(MessageManager& messages) {
    StartListening(messages, this);
}

void PhysicsSystem::HandleMessage(const MessagePointer&) {}

// No world yet: nothing can be hit.
RayTestResult PhysicsSystem::RayTestClosestPoint(const glm::vec3&, const glm::vec3&) {
    return RayTestResult{};
}
