#pragma once

#include <glm/vec3.hpp>

// Where two bodies met, as the first of them sees it: the normal points from
// the other body into this one.
struct CollisionContact {
    glm::vec3 point{0.0f};
    glm::vec3 normal{0.0f, 1.0f, 0.0f};
    float impulse = 0.0f;
};
