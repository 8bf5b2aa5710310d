#pragma once

#include <glm/vec3.hpp>

// How the world is lit, fogged and backed when `lighting` is on. Off, frames are drawn
// exactly as they always were and none of the rest is used. Colours are r, g, b in 0..1.
struct LightingSettings {
    bool lighting = false;
    // Towards the sun, any length but 0: a mid-afternoon sun from the south-west.
    glm::vec3 sunDirection{0.45f, 0.8f, 0.35f};
    glm::vec3 sunColor{0.75f, 0.7f, 0.6f};
    // Light from the sky on faces turned up, from the ground on faces turned down; sides
    // get an even mix.
    glm::vec3 skyAmbient{0.36f, 0.42f, 0.52f};
    glm::vec3 groundAmbient{0.24f, 0.21f, 0.18f};
    // Darker corners where voxels meet; the sun's shadows out to shadowDistance from the
    // camera (0: none).
    bool ambientOcclusion = true;
    bool shadows = true;
    float shadowDistance = 60.0f;
    // Exponential squared by distance from the eye: visibility exp(-(density * d)^2).
    glm::vec3 fogColor{0.72f, 0.8f, 0.88f};
    float fogDensity = 0.008f;
    // The background: the horizon's colour blending into the top's straight up.
    glm::vec3 skyTopColor{0.3f, 0.5f, 0.82f};
    glm::vec3 skyHorizonColor{0.72f, 0.8f, 0.88f};

    // Checks for script writes: null for a usable value, else what it must be.
    static const char* CheckColor(const glm::vec3& color);
    static const char* CheckDirection(const glm::vec3& direction);
    static const char* CheckNonNegative(const float& value);
};
