#include "graphics/ParticleSimulation.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include <glm/geometric.hpp>
#include <glm/gtc/constants.hpp>
#include <glm/trigonometric.hpp>

namespace {

// Longer frames are split into steps of this length, so a hitch does not carry a
// particle through the ground or far past where its arc would take it. Past
// kMostSteps a frame moves them only that far (a third of a second), as the
// physics world's sub-steps do, while their age still counts the whole frame.
constexpr float kLongestStep = 1.0f / 30.0f;
constexpr int kMostSteps = 10;
// A bounce slower than this (metres per second) settles the particle on the ground,
// where it would otherwise jitter by a step's worth of gravity every frame.
constexpr float kRestSpeed = 0.3f;
// The share of its speed along the ground a particle keeps at each touch.
constexpr float kGroundGrip = 0.7f;

template <class Vec> bool IsFinite(const Vec& value) {
    for (int i = 0; i < Vec::length(); ++i)
        if (!std::isfinite(value[i]))
            return false;
    return true;
}

// Two unit vectors at right angles to `axis` (a unit vector) and to each other.
void Perpendiculars(const glm::vec3& axis, glm::vec3& first, glm::vec3& second) {
    const glm::vec3 helper =
        std::fabs(axis.x) < 0.9f ? glm::vec3(1.0f, 0.0f, 0.0f) : glm::vec3(0.0f, 1.0f, 0.0f);
    first = glm::normalize(glm::cross(axis, helper));
    second = glm::cross(axis, first);
}

} // namespace

const char* ParticleBurst::CheckPosition(const glm::vec3& value) {
    return IsFinite(value) ? nullptr : "[x, y, z] of finite numbers";
}

const char* ParticleBurst::CheckCount(const double& value) {
    return std::isfinite(value) && value >= 0.0 && value == std::floor(value)
               ? nullptr
               : "a whole number >= 0";
}

const char* ParticleBurst::CheckColor(const glm::vec4& value) {
    return IsFinite(value) ? nullptr : "[r, g, b, a] of finite numbers";
}

const char* ParticleBurst::CheckColors(const std::vector<glm::vec4>& value) {
    for (const glm::vec4& color : value)
        if (!IsFinite(color))
            return "an array of [r, g, b, a] of finite numbers";
    return nullptr;
}

const char* ParticleBurst::CheckNonNegative(const float& value) {
    return std::isfinite(value) && value >= 0.0f ? nullptr : "a finite number >= 0";
}

const char* ParticleBurst::CheckSpread(const float& value) {
    return value >= 0.0f && value <= 180.0f ? nullptr : "a number of degrees from 0 to 180";
}

const char* ParticleBurst::CheckDirection(const glm::vec3& value) {
    if (IsFinite(value) && glm::length(value) > 0.0f)
        return nullptr;
    return "[x, y, z] of finite numbers, not all 0";
}

const char* ParticleBurst::CheckGravity(const std::optional<glm::vec3>& value) {
    return !value || IsFinite(*value) ? nullptr : "[x, y, z] of finite numbers, or null";
}

const char* ParticleBurst::CheckBounce(const float& value) {
    return value >= 0.0f && value <= 1.0f ? nullptr : "a number from 0 to 1";
}

std::size_t ParticleSimulation::Emit(const ParticleBurst& burst, const glm::vec3& gravity,
                                     bool ground) {
    const double room = static_cast<double>(kCapacity - std::min(kCapacity, particles.size()));
    const auto count = static_cast<std::size_t>(std::min(burst.count, room));
    if (static_cast<double>(count) < burst.count)
        NoteDropped(static_cast<std::size_t>(std::min(burst.count, 1e18) - count));

    const glm::vec3 axis = glm::normalize(burst.direction);
    glm::vec3 across, along;
    Perpendiculars(axis, across, along);
    // Directions spread evenly over the cap of the sphere within `spread` of the axis.
    const float lowestCos = std::cos(glm::radians(std::clamp(burst.spread, 0.0f, 180.0f)));
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    std::uniform_int_distribution<std::size_t> pick(
        0, burst.colors.empty() ? 0 : burst.colors.size() - 1);

    Particle particle{};
    particle.position = burst.position;
    particle.size = burst.size;
    particle.age = 0.0f;
    particle.gravity = burst.gravity.value_or(gravity);
    particle.lifetime = burst.lifetime;
    particle.bounce = ground ? burst.bounce : -1.0f;
    particle.fade = burst.fade;
    particles.reserve(particles.size() + count);
    for (std::size_t i = 0; i < count; ++i) {
        const float cosine = 1.0f - unit(random) * (1.0f - lowestCos);
        const float sine = std::sqrt(std::max(0.0f, 1.0f - cosine * cosine));
        const float turn = unit(random) * glm::two_pi<float>();
        const glm::vec3 heading =
            axis * cosine + (across * std::cos(turn) + along * std::sin(turn)) * sine;
        particle.velocity = heading * (burst.speed * (0.7f + 0.3f * unit(random)));
        particle.color = burst.colors.empty() ? burst.color : burst.colors[pick(random)];
        particles.push_back(particle);
    }
    return count;
}

void ParticleSimulation::Update(float dt) {
    sinceWarning += dt;
    if (particles.empty() || !(dt > 0.0f)) {
        WriteRecords();
        return;
    }
    // Clamped as a float: a huge dt would overflow the conversion to int.
    const int steps =
        static_cast<int>(std::clamp(std::ceil(dt / kLongestStep), 1.0f, float(kMostSteps)));
    const float step = std::min(dt / static_cast<float>(steps), kLongestStep);
    // Live particles keep their order, so the picture does not shuffle as others die.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < particles.size(); ++i) {
        Particle& particle = particles[i];
        particle.age += dt;
        if (!(particle.age < particle.lifetime))
            continue;
        for (int s = 0; s < steps; ++s)
            Step(particle, step);
        particles[kept++] = particle;
    }
    particles.resize(kept);
    WriteRecords();
}

void ParticleSimulation::Step(Particle& particle, float dt) const {
    particle.velocity += particle.gravity * dt;
    particle.position += particle.velocity * dt;
    if (particle.bounce < 0.0f)
        return;
    const float half = particle.size * 0.5f;
    if (particle.position.y >= half)
        return;
    particle.position.y = half;
    if (particle.velocity.y >= 0.0f)
        return;
    particle.velocity.y *= -particle.bounce;
    const float grip = particle.bounce > 0.0f ? kGroundGrip : 0.0f;
    particle.velocity.x *= grip;
    particle.velocity.z *= grip;
    if (particle.velocity.y < kRestSpeed)
        particle.velocity.y = 0.0f;
}

void ParticleSimulation::Clear() {
    particles.clear();
    records.clear();
}

void ParticleSimulation::WriteRecords() {
    records.resize(particles.size());
    for (std::size_t i = 0; i < particles.size(); ++i) {
        const Particle& particle = particles[i];
        VoxelInstance& record = records[i];
        record.color = particle.color;
        if (particle.fade)
            record.color.a *= 1.0f - particle.age / particle.lifetime;
        // The cube's edge rides in w, as for a scaled model's voxels.
        record.position = glm::vec4(particle.position, particle.size);
        record.orientation = glm::vec4(0.0f, 0.0f, 0.0f, 1.0f);
    }
}

void ParticleSimulation::NoteDropped(std::size_t count) {
    dropped += count;
    droppedUnreported += count;
    // Once a second at most: a script that bursts every frame at the cap would
    // otherwise bury everything else on standard error.
    if (warned && sinceWarning < 1.0f)
        return;
    std::fprintf(stderr,
                 "GraphicsSystem.EmitParticles: %llu particles not emitted: %zu are alive, the "
                 "most there can be (said at most once a second)\n",
                 static_cast<unsigned long long>(droppedUnreported), kCapacity);
    std::fflush(stderr);
    warned = true;
    sinceWarning = 0.0f;
    droppedUnreported = 0;
}
