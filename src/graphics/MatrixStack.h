#pragma once

#include <cstddef>
#include <vector>

#include <glm/mat4x4.hpp>

// A stack of accumulated transforms. The bottom entry is always the identity, so a reset
// stack yields the identity.
class MatrixStack {
  public:
    MatrixStack();

    // Drops everything above the identity; the storage is kept for the next frame.
    void Reset();

    // Pushes Top() * m.
    void MultiplyPush(const glm::mat4& m);

    const glm::mat4& Top() const { return matrices[current]; }

  private:
    std::vector<glm::mat4> matrices;
    std::size_t current = 0;
};
