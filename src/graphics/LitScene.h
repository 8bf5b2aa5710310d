#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec2.hpp>

#include "graphics/LightingSettings.h"
#include "graphics/ShaderProgram.h"

// The programs and the sky of frames drawn with lighting on. They read the same vertex
// data as the unlit programs, so the frame's passes stay as they are and only the program
// they draw with changes. Built on the first lit frame: a game that never turns lighting
// on never compiles them, and a game's own shader folder need not have them.
class LitScene {
  public:
    LitScene() = default;
    LitScene(const LitScene&) = delete;
    LitScene& operator=(const LitScene&) = delete;

    // Builds the programs from `folder` once. False when they cannot be built (said once
    // on standard error): frames are then drawn unlit.
    bool Prepare(const std::string& folder);

    // The voxel program for all faces of each cube or (facesOnly) the camera's side only;
    // `shadowed` ones read the sun's shadow map (SunShadowMap::Bind).
    ShaderProgram& VoxelProgram(bool facesOnly, bool shadowed = false) {
        if (shadowed)
            return facesOnly ? shadowedFaces : shadowedVoxels;
        return facesOnly ? faces : voxels;
    }
    // Whether the shadowed programs were built; a game's own shader folder may lack them.
    bool HasShadows() const { return shadowsReady; }
    ShaderProgram& BillboardProgram() { return billboards; }

    // Sun, ambient and fog uniforms of a lit program, which must be current.
    void SetUniforms(ShaderProgram& program, const LightingSettings& settings,
                     const glm::mat4& projection, glm::uvec2 viewport) const;
    // The frame's corner occlusion levels, one word per instance record
    // (VoxelOcclusionCache).
    void UploadOcclusion(const std::vector<std::uint64_t>& levels);
    // Draws the voxel program, which must be current, with the uploaded levels or without.
    void SetOcclusion(ShaderProgram& program, bool on);
    // After the voxels: unbinds what SetOcclusion bound.
    void EndOcclusion();
    // The background gradient above the horizon, on the far plane and writing no depth: it
    // covers the pixels that nothing drawn before it covers. Below the horizon the gradient
    // is the horizon's colour alone, which lit frames are cleared to.
    void DrawSky(const LightingSettings& settings, const glm::mat4& view,
                 const glm::mat4& projection);
    // Forgets the GL objects of a context that is gone; they are made again when needed.
    void ReleaseGl();

  private:
    enum class State { Untried, Ready, Failed };
    void Build(const std::string& folder);
    void BuildShadowed(const std::string& folder);

    State state = State::Untried;
    ShaderProgram voxels;
    ShaderProgram faces;
    ShaderProgram shadowedVoxels;
    ShaderProgram shadowedFaces;
    bool shadowsReady = false;
    ShaderProgram billboards;
    ShaderProgram sky;
    std::uint32_t skyVertexArray = 0;
    // Corner occlusion levels, parallel to the voxel instance buffer: made on the first
    // frame that uses them.
    std::uint32_t occlusionBuffer = 0;
    std::uint32_t occlusionTexture = 0;
    std::size_t occlusionCapacity = 0; // records the buffer holds
};
