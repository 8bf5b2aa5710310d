#pragma once

#include <glm/vec3.hpp>

#include "objects/GameObject.h"

// What a ray query hit: the world point and the object whose body it struck.
// A miss leaves `object` as the invalid handle.
struct RayTestResult {
    glm::vec3 intersection{0.0f};
    GameObject object;
};
