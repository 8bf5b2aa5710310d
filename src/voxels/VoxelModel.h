#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "base/HolderCount.h"
#include "voxels/VoxelInstance.h"

// A list of coloured unit cubes in model space, stored in .vxm files: a little-endian
// unsigned 32-bit count, then per voxel eight little-endian floats (colour r, g, b, a and
// position x, y, z, w). Orientations are not stored; loaded voxels get the identity.
// Files whose name ends in ".vox" (any case) are read and written in that exchange
// format instead (VoxFormat.h).
//
// Who owns a model: the graphics system's cache owns the models it loads, and so does
// any C++ code that makes one on its own. A model made by NewShared() (a script's
// `new VoxelModel()`) is owned by its holders instead: every script wrapper and every
// VoxelModelComponent showing it counts as one, and the last one to let go frees it.
class VoxelModel {
  public:
    VoxelModel() = default;
    // Copies take the voxels only; the copy is an ordinary, unshared model.
    VoxelModel(const VoxelModel& other) : voxels(other.voxels) {}
    VoxelModel& operator=(const VoxelModel& other) {
        voxels = other.voxels;
        return *this;
    }
    VoxelModel(VoxelModel&& other) noexcept : voxels(std::move(other.voxels)) {}
    VoxelModel& operator=(VoxelModel&& other) noexcept {
        voxels = std::move(other.voxels);
        return *this;
    }

    // A new empty model freed when its last holder lets go; it has none yet.
    static VoxelModel* NewShared();
    // Shared models alive now: what a leak would make grow.
    static std::size_t GetSharedModelCount();
    bool IsShared() const { return holding.IsShared(); }
    std::size_t GetHolderCount() const { return holding.Get(); }
    // Counted only for shared models; other models ignore both.
    void AddHolder();
    void RemoveHolder();

    // Replaces the voxels with the file's contents. False when the file cannot be opened
    // or is too short to hold the count; the model is then unchanged. A file shorter than
    // its count claims yields only the records it holds (a record cut off by the end of
    // the file is completed with zero bytes) and is reported on standard error. A .vox
    // file that breaks its format is refused as a whole.
    bool LoadFromFile(const std::string& fileName);

    // Writes the voxels to a temporary file next to the target and renames it over the
    // target, so a failed save leaves any previous file intact. False (with a report on
    // standard error) when anything fails, including a model a .vox file cannot hold.
    bool SaveToFile(const std::string& fileName) const;

    // Edits by index, in the order the voxels are drawn and saved. Positions get w = 1
    // and the identity orientation. An index at or past the count throws
    // std::out_of_range, which a script sees as an error of its call.
    void AddVoxel(const glm::vec3& position, const glm::vec4& color);
    void SetVoxel(std::size_t index, const glm::vec3& position, const glm::vec4& color);
    void RemoveVoxel(std::size_t index);
    const VoxelInstance& GetVoxel(std::size_t index) const;
    std::size_t GetVoxelCount() const { return voxels.size(); }
    void Clear() {
        voxels.clear();
        MarkChanged();
    }

    // Gives every voxel the hue and saturation of color (r, g, b in [0, 1]) and a random
    // brightness drawn with rand() in [min, max) on a 0-255 scale; voxels become opaque.
    void RandomizeSaturation(const glm::vec3& color, int min, int max);

    // Half the size of the box enclosing all voxel cubes, per axis. An empty model gives
    // -3.4028235e38 on every axis.
    glm::vec3 GetHalfExtents() const;

    // Caches derived from the voxels (the renderer's list of voxels that can be seen)
    // compare this number with the one they were built from. Every change gets a number no
    // model has had before, so a cache can never mistake one model, or one state of it,
    // for another. Whatever edits `voxels` in place calls MarkChanged() afterwards.
    std::uint64_t GetRevision() const { return revision; }
    void MarkChanged() { revision = NextRevision(); }

    std::vector<VoxelInstance> voxels;

  private:
    void CheckIndex(std::size_t index) const;
    static std::uint64_t NextRevision();

    HolderCount holding;
    std::uint64_t revision = NextRevision();
};

// The colour rule of RandomizeSaturation, shared with the single-voxel component: the
// hue and saturation of one colour, with a fresh random brightness for every draw.
class RandomBrightness {
  public:
    RandomBrightness(const glm::vec3& color, int min, int max);

    // One rand() draw; the result is opaque.
    glm::vec4 Next() const;

  private:
    float hue = 0.0f;        // degrees in [0, 360)
    float saturation = 0.0f; // [0, 1]
    int min = 0;
    int max = 0;
};
