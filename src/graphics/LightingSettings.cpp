#include "graphics/LightingSettings.h"

#include <cmath>

namespace {

bool IsFinite(const glm::vec3& v) {
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

} // namespace

const char* LightingSettings::CheckColor(const glm::vec3& color) {
    return IsFinite(color) ? nullptr : "[r, g, b] of finite numbers";
}

const char* LightingSettings::CheckDirection(const glm::vec3& direction) {
    // A zero vector has no direction; normalising it in the shader would give NaN.
    if (IsFinite(direction) && (direction.x != 0.0f || direction.y != 0.0f || direction.z != 0.0f))
        return nullptr;
    return "[x, y, z] of finite numbers, not all 0";
}

const char* LightingSettings::CheckNonNegative(const float& value) {
    return std::isfinite(value) && value >= 0.0f ? nullptr : "a finite number >= 0";
}
