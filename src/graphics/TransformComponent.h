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

    // Turns the object so that a camera on it, at `position`, looks at `target` with `up`
    // pointing up on screen. A camera's orientation is the world-to-view rotation, the
    // inverse of how a model is turned, which is why a hand-made one so often looks away
    // from the scene. A target at the position itself, or an up along the line of sight,
    // is a script error and leaves the orientation as it was.
    void LookAt(const glm::vec3& target, const glm::vec3& up);
};
