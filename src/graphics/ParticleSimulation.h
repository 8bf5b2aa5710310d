#pragma once

// Bursts of small cubes the engine moves itself, without physics bodies: each flies from
// where it was emitted under its burst's gravity, bounces off (or sticks to) the ground
// plane, optionally fades, and is gone when its lifetime is over. The graphics system
// steps them every frame and draws them as voxel records with everything else.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "voxels/VoxelInstance.h"

// What one EmitParticles call asks for. Every field has a usable default, so a script
// names only what it changes.
struct ParticleBurst {
    glm::vec3 position{0.0f, 0.0f, 0.0f};
    // A whole number; a double so that -1 or 1e10 is refused rather than wrapped.
    double count = 20.0;
    glm::vec4 color{1.0f, 1.0f, 1.0f, 1.0f};
    // When not empty, each particle takes one of these at random instead of `color`.
    std::vector<glm::vec4> colors;
    // Metres per second; each particle gets between 70% and 100% of it, so a burst is a
    // cloud rather than a thin shell.
    float speed = 3.0f;
    // Degrees between `direction` and the farthest a particle may fly from it: 0 is a
    // straight jet, 180 every direction.
    float spread = 30.0f;
    glm::vec3 direction{0.0f, 1.0f, 0.0f};
    float lifetime = 1.0f;
    // Unset: the physics world's gravity.
    std::optional<glm::vec3> gravity;
    float size = 0.1f;
    // Alpha falls from the colour's own to 0 over the life.
    bool fade = false;
    // The share of the downward speed kept when a particle meets the ground plane; 0
    // stops it dead where it lands.
    float bounce = 0.4f;

    // Checks of script values: null for a usable one, else what it must be.
    static const char* CheckPosition(const glm::vec3& value);
    static const char* CheckCount(const double& value);
    static const char* CheckColor(const glm::vec4& value);
    static const char* CheckColors(const std::vector<glm::vec4>& value);
    static const char* CheckNonNegative(const float& value);
    static const char* CheckSpread(const float& value);
    static const char* CheckDirection(const glm::vec3& value);
    static const char* CheckGravity(const std::optional<glm::vec3>& value);
    static const char* CheckBounce(const float& value);
};

class ParticleSimulation {
  public:
    // Live particles at most: what a burst every frame for a few seconds reaches, and a
    // bound on what a runaway loop of bursts costs. At the cap a step takes about 1 ms
    // (BM_ParticleStep); drawing them costs what as many voxels do (BM_ParticleFrame).
    static constexpr std::size_t kCapacity = 50000;

    // Adds the burst's particles, as many as fit under the cap, and returns how many.
    // `gravity` is used where the burst sets none; with `ground` the plane y = 0 stops
    // them. Particles that do not fit are reported on standard error, at most once a
    // second.
    std::size_t Emit(const ParticleBurst& burst, const glm::vec3& gravity, bool ground);
    // Moves every particle on by `dt` seconds and lets those whose life is over go.
    void Update(float dt);
    void Clear();
    std::size_t Count() const { return particles.size(); }
    // This frame's records, one per live particle, in emission order.
    const std::vector<VoxelInstance>& Records() const { return records; }
    // How many particles were refused by the cap since the engine started.
    std::uint64_t DroppedCount() const { return dropped; }

  private:
    struct Particle {
        glm::vec3 position;
        float size;
        glm::vec3 velocity;
        float age;
        glm::vec3 gravity;
        float lifetime;
        glm::vec4 color;
        // Negative: no ground to meet.
        float bounce;
        bool fade;
    };

    void Step(Particle& particle, float dt) const;
    void NoteDropped(std::size_t count);
    void WriteRecords();

    std::vector<Particle> particles;
    std::vector<VoxelInstance> records;
    // Fixed seed: the same script draws the same bursts every run.
    std::mt19937 random{20261208u};
    std::uint64_t dropped = 0;
    // Dropped since the last warning, and game seconds since it.
    std::uint64_t droppedUnreported = 0;
    float sinceWarning = 0.0f;
    bool warned = false;
};
