#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "voxels/PerModelCache.h"
#include "voxels/VoxelInstance.h"

// How dark the corners of each voxel's faces are where other voxels of the same model
// crowd them: the ambient occlusion of lit frames. Each corner of a face touches three
// cells in the layer in front of the face, two beside it and one across the diagonal; its
// level is how many of them hold opaque voxels (0 to 3), and 3 when both side cells do,
// since those two alone close the corner whatever the diagonal holds.
//
// Only opaque voxels (alpha exactly 1) occlude or are occluded: a see-through voxel
// neither darkens what lies behind or beside it nor is darkened, so nothing gets darker
// through glass. Faces covered by an opaque neighbour get no levels; they are never seen,
// and are marked so that lit frames do not draw them.
//
// A voxel's levels are one 64-bit word: face f (2 * axis + 1 when it looks along the
// negative axis) takes bits 8f ... 8f + 7, two bits a corner. Corner k = i + 2j of the face
// lies on the positive side of axis (axis + 1) % 3 when i is 1 and of axis (axis + 2) % 3
// when j is 1. Bit kFirstCoveredBit + f is set when face f is covered. The word is uploaded
// as it is, two 32-bit halves of one texel.
//
// Entries are kept per model until it changes (PerModelCache).
class VoxelOcclusionCache {
  public:
    // Levels per voxel of the model, in model order; null when the model has none (no
    // face is occluded or covered, or the model is not one this cache handles).
    const std::vector<std::uint64_t>* Find(const VoxelModel& model) { return cache.Find(model); }

    // Forgets models not asked about for a while: a freed model's address may be reused.
    void EndFrame() { cache.EndFrame(); }

    // The levels of every voxel, or false when no face is occluded or covered or the model cannot
    // be marked out: a position that is not a whole number, or a grid over kMaxCells.
    static bool Compute(const std::vector<VoxelInstance>& voxels,
                        std::vector<std::uint64_t>& levels);

    // How many times the levels of some model were worked out: what stays the same over
    // frames in which no model changed.
    std::uint64_t GetComputeCount() const { return cache.GetComputeCount(); }

    // Faces covered by an opaque neighbour: one bit each from here (litVoxel.vs).
    static constexpr int kFirstCoveredBit = 48;

    // Grid cells (the opaque voxels' bounding box and a margin of one) beyond which a model
    // gets no occlusion: the marks take one bit a cell.
    static constexpr std::uint64_t kMaxCells = std::uint64_t(1) << 28;

  private:
    PerModelCache<std::uint64_t, &Compute> cache;
};
