#include "graphics/Projection.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include <glm/ext/matrix_projection.hpp>
#include <glm/ext/matrix_transform.hpp>

namespace {

float FloatFromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

} // namespace

glm::mat4 RotationMatrix(const glm::quat& q) {
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    glm::mat4 r(1.0f);
    r[0] = glm::vec4(1.0f - 2.0f * (y * y + z * z), 2.0f * (x * y + z * w), 2.0f * (x * z - y * w),
                     0.0f);
    r[1] = glm::vec4(2.0f * (x * y - z * w), 1.0f - 2.0f * (x * x + z * z), 2.0f * (y * z + x * w),
                     0.0f);
    r[2] = glm::vec4(2.0f * (x * z + y * w), 2.0f * (y * z - x * w), 1.0f - 2.0f * (x * x + y * y),
                     0.0f);
    return r;
}

glm::mat4 ViewMatrix(const glm::vec3& position, const glm::quat& orientation) {
    return RotationMatrix(orientation) * glm::translate(glm::mat4(1.0f), -position);
}

glm::mat4 PerspectiveMatrix(float aspect) {
    // tan of 30 degrees taken from the single-precision value of pi/6.
    const float halfFov = static_cast<float>(3.14159265358979323846 / 6.0);
    const float f = static_cast<float>(1.0 / std::tan(static_cast<double>(halfFov)));
    glm::mat4 m(0.0f);
    m[0][0] = f / aspect;
    m[1][1] = f;
    m[2][2] = FloatFromBits(0xBF800150u); // -(far + near) / (far - near) = -1.00004
    m[2][3] = -1.0f;
    m[3][2] = FloatFromBits(0xBCA3D7E1u); // -2 far near / (far - near) = -0.0200004
    return m;
}

MouseRay ComputeMouseClickRay(int x, int y, const glm::mat4& view, const glm::mat4& projection,
                              const glm::ivec4& viewport, unsigned viewportHeight) {
    // Unproject in double precision, as the fixed-function path did, so the far point
    // (500 units away) keeps its accuracy.
    const glm::dmat4 model(view);
    const glm::dmat4 proj(projection);
    const glm::dvec4 area(viewport);
    const double windowX = x;
    const double windowY = static_cast<double>(static_cast<long long>(viewportHeight) - y);
    const glm::dvec3 start = glm::unProject(glm::dvec3(windowX, windowY, 0.0), model, proj, area);
    const glm::dvec3 end = glm::unProject(glm::dvec3(windowX, windowY, 1.0), model, proj, area);
    return {glm::vec3(start), glm::vec3(end)};
}
