#pragma once

#include <cmath>

#include <LinearMath/btTransform.h>
#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

// Between glm and the physics library's own vector types.

inline btVector3 ToBullet(const glm::vec3& v) {
    return {v.x, v.y, v.z};
}

inline glm::vec3 FromBullet(const btVector3& v) {
    return {v.x(), v.y(), v.z()};
}

// A script can write any four numbers into an orientation; the library divides
// by the length, so a zero or non-finite quaternion would put NaNs into the
// world. Such an orientation counts as no rotation.
inline btTransform ToBulletTransform(const glm::vec3& position, const glm::quat& orientation) {
    const float length2 = glm::dot(orientation, orientation);
    const btQuaternion rotation =
        std::isfinite(length2) && length2 > 1e-12f
            ? btQuaternion(orientation.x, orientation.y, orientation.z, orientation.w)
            : btQuaternion::getIdentity();
    return btTransform(rotation, ToBullet(position));
}

inline glm::quat FromBullet(const btQuaternion& q) {
    return glm::quat(q.w(), q.x(), q.y(), q.z());
}
