#include "inspector/ObjectBounds.h"

#include <algorithm>
#include <limits>

#include <btBulletDynamicsCommon.h>
#include <glm/geometric.hpp>
#include <glm/matrix.hpp>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsSystem.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

constexpr float kMarkerHalfSide = 0.25f;

const TransformComponent* TransformOf(const GameObject& obj) {
    if (!ObjectManager::IsValid(obj) || !ObjectManager::HasComponent<TransformComponent>(obj))
        return nullptr;
    return ObjectManager::GetComponent<TransformComponent>(obj);
}

} // namespace

std::array<glm::vec3, 8> ObjectBox::WorldCorners() const {
    std::array<glm::vec3, 8> corners;
    for (int i = 0; i < 8; ++i) {
        const glm::vec3 local((i & 1) ? high.x : low.x, (i & 2) ? high.y : low.y,
                              (i & 4) ? high.z : low.z);
        corners[static_cast<std::size_t>(i)] = origin + axes * local;
    }
    return corners;
}

std::optional<float> ObjectBox::Hit(const MouseRay& ray) const {
    // The slab test in the box's own frame; the ray's parameter is the same there.
    const glm::mat3 toLocal = glm::inverse(axes);
    const glm::vec3 start = toLocal * (ray.start - origin);
    const glm::vec3 direction = toLocal * (ray.end - ray.start);
    float enter = 0.0f, leave = 1.0f;
    for (int axis = 0; axis < 3; ++axis) {
        if (std::abs(direction[axis]) < 1e-12f) {
            if (start[axis] < low[axis] || start[axis] > high[axis])
                return std::nullopt;
            continue;
        }
        float t0 = (low[axis] - start[axis]) / direction[axis];
        float t1 = (high[axis] - start[axis]) / direction[axis];
        if (t0 > t1)
            std::swap(t0, t1);
        enter = std::max(enter, t0);
        leave = std::min(leave, t1);
        if (enter > leave)
            return std::nullopt;
    }
    return enter;
}

std::optional<ObjectBox> VoxelBoxOf(const GameObject& obj) {
    const TransformComponent* transform = TransformOf(obj);
    if (!transform)
        return std::nullopt;
    ObjectBox box;
    if (ObjectManager::HasComponent<VoxelModelComponent>(obj)) {
        const VoxelModelComponent& shown = *ObjectManager::GetComponent<VoxelModelComponent>(obj);
        if (!shown.visible || shown.model == nullptr || shown.model->voxels.empty())
            return std::nullopt;
        constexpr float kLargest = std::numeric_limits<float>::max();
        box.low = glm::vec3(kLargest);
        box.high = glm::vec3(-kLargest);
        for (const VoxelInstance& voxel : shown.model->voxels) {
            // A voxel's w is its size; each is a cube about its position.
            const glm::vec3 centre(voxel.position);
            const float half = 0.5f * voxel.position.w;
            box.low = glm::min(box.low, centre - half);
            box.high = glm::max(box.high, centre + half);
        }
        // Scaled about the object's position, as the model is drawn.
        box.low *= shown.voxelScale;
        box.high *= shown.voxelScale;
        box.origin = transform->position + shown.originOffset * shown.voxelScale;
        if (shown.oriented)
            box.axes = glm::mat3(RotationMatrix(transform->orientation));
        return box;
    }
    if (ObjectManager::HasComponent<VoxelComponent>(obj)) {
        box.low = glm::vec3(-0.5f);
        box.high = glm::vec3(0.5f);
        box.origin = transform->position;
        box.axes = glm::mat3(RotationMatrix(transform->orientation));
        return box;
    }
    return std::nullopt;
}

std::optional<ObjectBox> BodyBoxOf(const GameObject& obj) {
    if (!ObjectManager::IsValid(obj) || !ObjectManager::HasComponent<BodyComponent>(obj))
        return std::nullopt;
    const btRigidBody* body = ObjectManager::GetComponent<BodyComponent>(obj)->GetBody();
    if (!body)
        return std::nullopt;
    btVector3 low, high;
    body->getAabb(low, high);
    ObjectBox box;
    box.low = FromBullet(low);
    box.high = FromBullet(high);
    return box;
}

std::optional<ObjectBox> OutlineBoxOf(const GameObject& obj) {
    if (std::optional<ObjectBox> voxels = VoxelBoxOf(obj))
        return voxels;
    if (std::optional<ObjectBox> body = BodyBoxOf(obj))
        return body;
    if (const TransformComponent* transform = TransformOf(obj)) {
        ObjectBox marker;
        marker.low = glm::vec3(-kMarkerHalfSide);
        marker.high = glm::vec3(kMarkerHalfSide);
        marker.origin = transform->position;
        return marker;
    }
    return std::nullopt;
}

GameObject PickObject(const MouseRay& ray) {
    GameObject best;
    float nearest = std::numeric_limits<float>::infinity();
    const float length = glm::length(ray.end - ray.start);
    if (PhysicsSystem* physics = Core::Instance().PhysicsSystem_; physics && length > 0.0f) {
        const RayTestResult hit = physics->RayTestAnyBody(ray.start, ray.end);
        if (ObjectManager::IsValid(hit.object)) {
            best = hit.object;
            nearest = glm::length(hit.intersection - ray.start) / length;
        }
    }
    const ObjectManager* objects = Core::Instance().objectManager;
    for (const GameObject& obj : objects ? objects->GetLiveObjects() : std::vector<GameObject>()) {
        if (ObjectManager::HasComponent<BodyComponent>(obj))
            continue;
        const std::optional<ObjectBox> box = VoxelBoxOf(obj);
        if (!box)
            continue;
        if (const std::optional<float> at = box->Hit(ray); at && *at < nearest) {
            nearest = *at;
            best = obj;
        }
    }
    return best;
}
