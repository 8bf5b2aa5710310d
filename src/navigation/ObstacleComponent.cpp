#include "navigation/ObstacleComponent.h"

#include "graphics/TransformComponent.h"
#include "navigation/PathfindingComponent.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelModelComponent.h"

void ObstacleComponent::OnAdd() {
    useModelExtents = false;
    stampPending = true;
}

void ObstacleComponent::Update() {
    // Scripts often add the obstacle before their object is fully made; the
    // stamp waits for it rather than being lost.
    if (!stampPending || !ObjectManager::IsValid(owner))
        return;
    stampPending = false;
    Stamp();
}

void ObstacleComponent::Stamp() {
    glm::vec2 half = halfExtents;
    if (useModelExtents) {
        if (ObjectManager::HasComponent<VoxelModelComponent>(owner)) {
            const glm::vec3 extents =
                ObjectManager::GetComponent<VoxelModelComponent>(owner)->GetHalfExtents();
            half = {extents.x, extents.z};
        }
    }
    glm::vec2 centre(0.0f);
    if (ObjectManager::HasComponent<TransformComponent>(owner)) {
        const glm::vec3& position =
            ObjectManager::GetComponent<TransformComponent>(owner)->position;
        centre = {position.x, position.z};
    }
    const GameObject self = owner;
    ComponentFactory<PathfindingComponent>::Instance().ForEachAttached(
        [&](PathfindingComponent& grid) {
            grid.StampObstacle(self, centre, half, wallThreshold, isInterestObject);
        });
}
