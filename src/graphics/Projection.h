#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

// Conventions shared by all drawing code: column-major matrices uploaded untransposed,
// quaternions written (x, y, z, w) and never normalized by the engine.

// glm::quat's constructor takes w first; this takes the engine's (x, y, z, w) order.
inline glm::quat QuatFromXYZW(float x, float y, float z, float w) {
    return glm::quat(w, x, y, z);
}
inline glm::quat QuatFromXYZW(const glm::vec4& xyzw) {
    return glm::quat(xyzw.w, xyzw.x, xyzw.y, xyzw.z);
}

// The rotation matrix of q by the unit-quaternion formula applied to q as it is, so a
// non-unit quaternion also scales (the same rotation the voxel shader applies).
glm::mat4 RotationMatrix(const glm::quat& q);

// Camera view matrix R * T: translate by -position, then rotate by the orientation. The
// orientation is the world-to-camera rotation itself, not its inverse.
glm::mat4 ViewMatrix(const glm::vec3& position, const glm::quat& orientation);

// Right-handed perspective, 60 degrees vertical field of view, near 0.01, far 500, for the
// aspect ratio width / height. The depth terms are fixed constants so every build and
// platform gets the same bits.
glm::mat4 PerspectiveMatrix(float aspect);

struct MouseRay {
    glm::vec3 start; // on the near plane
    glm::vec3 end;   // on the far plane
};

// The world-space ray under a mouse position (pixels, origin at the top left) for the
// given view and projection. viewport is (x, y, width, height) in window coordinates,
// whose origin is the bottom left; the mouse y is flipped with viewportHeight.
MouseRay ComputeMouseClickRay(int x, int y, const glm::mat4& view, const glm::mat4& projection,
                              const glm::ivec4& viewport, unsigned viewportHeight);
