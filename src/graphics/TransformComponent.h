#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include "objects/Component.h"

// Where an object is, how it is turned and how large it is; most other components read it.
// The drawing code ignores `scale`: it is kept for scripts and for components that size
// themselves from it.
class TransformComponent : public Component {
  public:
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    glm::vec3 scale{0.0f, 0.0f, 0.0f};
    // glm takes w first: this is the identity (x, y, z, w) = (0, 0, 0, 1).
    glm::quat orientation{1.0f, 0.0f, 0.0f, 0.0f};
};
