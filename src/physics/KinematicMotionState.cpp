#include "physics/KinematicMotionState.h"

#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BulletConvert.h"

void KinematicMotionState::getWorldTransform(btTransform& worldTrans) const {
    if (ObjectManager::HasComponent<TransformComponent>(owner)) {
        const TransformComponent& t = *ObjectManager::GetComponent<TransformComponent>(owner);
        lastSeen = ToBulletTransform(t.position, t.orientation);
    }
    worldTrans = lastSeen;
}
