#pragma once

#include <array>
#include <optional>

#include <glm/mat3x3.hpp>
#include <glm/vec3.hpp>

#include "graphics/Projection.h"
#include "objects/GameObject.h"

// Where an object is in the world, for picking it with the mouse and
// outlining it: a box in the object's own frame (low..high, turned by `axes`
// and moved by `origin`).
struct ObjectBox {
    glm::vec3 low{0.0f};
    glm::vec3 high{0.0f};
    glm::mat3 axes{1.0f};
    glm::vec3 origin{0.0f};

    std::array<glm::vec3, 8> WorldCorners() const;
    // The distance along the ray (0 at its start, 1 at its end) where it first
    // meets the box; nothing for a miss.
    std::optional<float> Hit(const MouseRay& ray) const;
};

// What the voxels of an object cover (its model, or its single voxel), as
// drawn; nothing for an object that draws no voxel.
std::optional<ObjectBox> VoxelBoxOf(const GameObject& obj);
// The body's box as the physics world keeps it (world axes); nothing without a live body.
std::optional<ObjectBox> BodyBoxOf(const GameObject& obj);
// The box to outline: the voxels', else the body's, else a small cube at the
// object's position; nothing for an object without a place.
std::optional<ObjectBox> OutlineBoxOf(const GameObject& obj);

// The object under the mouse ray: the nearest of the physics pick (every
// body's shape, collision groups aside) and the voxel boxes of objects
// without a body.
// The invalid handle when nothing is hit.
GameObject PickObject(const MouseRay& ray);
