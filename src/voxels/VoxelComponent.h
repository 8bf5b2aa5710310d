#pragma once

#include <glm/vec4.hpp>

#include "objects/Component.h"

// Shows a single voxel at the object's transform. Only an alpha of exactly 1.0 counts as
// opaque; a new component (all zero) is drawn as an invisible see-through cube.
class VoxelComponent : public Component {
  public:
    // Keeps the hue and saturation of `color`, draws a random brightness in [min, max) on a
    // 0-255 scale and makes the cube opaque.
    void RandomizeSaturation(int min, int max);

    glm::vec4 color{0.0f, 0.0f, 0.0f, 0.0f};
};
