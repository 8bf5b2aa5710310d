#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include "graphics/LightingSettings.h"
#include "graphics/ShaderProgram.h"
#include "voxels/VoxelInstance.h"

// The sun's shadow map: how far from the sun the nearest opaque voxel lies across a square
// that the sun looks down on, covering everything the camera sees out to the shadow
// distance. Lit programs that link shadow.fs compare against it by hardware.
//
// Redrawing it costs a second pass over every caster's vertices, which a software
// rasteriser feels, so it is redrawn only when the casters or the light's frame changed.
// The frame is a ball around the camera's view, whose size does not change as the camera
// turns, snapped to whole texels across the sun's view: a still camera keeps the same
// frame, and shadows never swim by less than a texel while it moves.
class SunShadowMap {
  public:
    // Texels along each side of the map.
    static constexpr int kSize = 1024;

    SunShadowMap() = default;
    SunShadowMap(const SunShadowMap&) = delete;
    SunShadowMap& operator=(const SunShadowMap&) = delete;

    // Builds the depth program and the map from `folder` once. False when they cannot be
    // made (said once on standard error): frames are then drawn without shadows.
    bool Prepare(const std::string& folder);

    // Brings the map up to date for a frame seen through view and projection, whose
    // records before `opaqueCount` are opaque; of those, the ones of alpha exactly 1 cast.
    // At most `capacity` casters are drawn (the buffer texture's limit); more draw none.
    // False when the settings leave nothing to shadow (a shadow distance of 0).
    bool Update(const std::vector<VoxelInstance>& instances, std::size_t opaqueCount,
                const glm::mat4& view, const glm::mat4& projection,
                const LightingSettings& settings, std::size_t capacity);

    // The sampler and matrices shadow.fs reads, for the current program, and the map bound
    // to texture unit 1. Unbind undoes the binding.
    void Bind(const ShaderProgram& program) const;
    static void Unbind();
    // Registers the uniforms Bind sets.
    static void AddUniforms(ShaderProgram& program);

    // How often the map has been drawn, to show that still frames reuse it.
    std::uint64_t DrawCount() const { return drawCount; }

    // Forgets the GL objects of a context that is gone; they are made again when needed.
    void ReleaseGl();

  private:
    enum class State { Untried, Ready, Failed };
    struct Frame {
        glm::mat4 view{1.0f};
        glm::mat4 projection{1.0f};
        // The ball that gets shadows: centre and radius.
        glm::vec4 reach{0.0f};
        float texel = 0.0f;
        // Across the sun's view: the square's snapped centre and half its side; along it,
        // the depth of the ball's far side.
        glm::vec2 square{0.0f};
        float half = 0.0f;
        float deepest = 0.0f;
        // The ball follows the camera while the map stays: the square and the depth range
        // hold it until the snapped values change.
        bool SameMap(const Frame& other) const {
            return view == other.view && projection == other.projection;
        }
    };

    void Build(const std::string& folder);
    bool CreateTargets();
    Frame FitFrame(const glm::mat4& view, const glm::mat4& projection,
                   const LightingSettings& settings) const;
    bool GatherCasters(const std::vector<VoxelInstance>& instances, std::size_t opaqueCount,
                       Frame& frame);
    void Draw(std::size_t capacity);

    State state = State::Untried;
    ShaderProgram depthProgram;
    std::uint32_t framebuffer = 0;
    std::uint32_t depthTexture = 0;
    std::uint32_t casterBuffer = 0;
    std::uint32_t casterTexture = 0;
    std::size_t casterBufferRecords = 0;
    std::uint32_t vertexArray = 0;
    // What the map holds now: drawn from `casters` in `drawn`; none before the first draw.
    bool valid = false;
    Frame drawn;
    std::vector<VoxelInstance> casters;
    std::uint64_t drawCount = 0;
};
