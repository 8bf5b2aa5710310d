#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "voxels/PerModelCache.h"
#include "voxels/VoxelInstance.h"

// Which voxels of a model can be seen at all. A voxel whose 26 surrounding grid cells all
// hold opaque voxels of the same model is covered from every side, whatever the camera
// and whatever rotation the model is drawn with, so an opaque drawing of the model may
// leave it out without changing a pixel. Edges and corners count as well as faces: a cube
// touched only on its faces still meets the camera's rays at its edges, at the same depth
// as the neighbours, and which of the two a pixel shows would then depend on draw order.
//
// Models keep every voxel when any voxel is see-through (it blends with what was drawn
// before it, hidden voxels included), when a position is not a whole number, and when the
// grid the model spans is too large to mark out.
//
// Entries are kept per model until it changes (PerModelCache).
class VisibleVoxelCache {
  public:
    // Indices, in model order, of the voxels an opaque drawing of the model needs; null when
    // it needs all of them.
    const std::vector<std::uint32_t>* Find(const VoxelModel& model) { return cache.Find(model); }

    // Forgets models not asked about for a while: a freed model's address may be reused.
    void EndFrame() { cache.EndFrame(); }

    // The voxels that are not enclosed, or false when every voxel must be drawn (nothing
    // enclosed, or the model is not one this cache handles).
    static bool FindVisible(const std::vector<VoxelInstance>& voxels,
                            std::vector<std::uint32_t>& visible);

    // Grid cells (the model's bounding box) beyond which a model keeps all its voxels:
    // the marks take one bit a cell.
    static constexpr std::uint64_t kMaxCells = std::uint64_t(1) << 28;

  private:
    PerModelCache<std::uint32_t, &FindVisible> cache;
};
