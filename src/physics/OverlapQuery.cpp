#include "physics/OverlapQuery.h"

#include <algorithm>

#include <btBulletDynamicsCommon.h>

#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsSystem.h"

namespace {

struct OverlapCallback : btCollisionWorld::ContactResultCallback {
    explicit OverlapCallback(const btCollisionObject* probe) : probe(probe) {}

    btScalar addSingleResult(btManifoldPoint& point, const btCollisionObjectWrapper* a, int, int,
                             const btCollisionObjectWrapper* b, int, int) override {
        // The library also reports shapes that are merely near; only overlaps count.
        if (point.getDistance() > 0.0f)
            return 0.0f;
        const btCollisionObject* other =
            a->getCollisionObject() == probe ? b->getCollisionObject() : a->getCollisionObject();
        if (const BodyComponent* body = BodyComponent::Of(other))
            hits.push_back(body->owner);
        return 0.0f;
    }

    const btCollisionObject* probe;
    std::vector<GameObject> hits;
};

} // namespace

std::vector<GameObject> FindOverlaps(btCollisionWorld& world, btCollisionShape& shape,
                                     const glm::vec3& center, int mask) {
    btCollisionObject probe;
    probe.setCollisionShape(&shape);
    probe.setWorldTransform(btTransform(btQuaternion::getIdentity(), ToBullet(center)));
    OverlapCallback overlaps(&probe);
    overlaps.m_collisionFilterGroup = PhysicsSystem::kRayGroup;
    overlaps.m_collisionFilterMask = mask;
    world.contactTest(&probe, overlaps);
    std::vector<GameObject>& hits = overlaps.hits;
    std::sort(hits.begin(), hits.end(),
              [](const GameObject& x, const GameObject& y) { return x.id < y.id; });
    hits.erase(std::unique(hits.begin(), hits.end(),
                           [](const GameObject& x, const GameObject& y) { return x.id == y.id; }),
               hits.end());
    return hits;
}
