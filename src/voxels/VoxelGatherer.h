#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "voxels/SeeThroughVoxels.h"
#include "voxels/VoxelInstance.h"

class TransformComponent;
class VisibleVoxelCache;
class VoxelComponent;
class VoxelOcclusionCache;
class VoxelModelComponent;

// Builds a frame's voxel instance array on the CPU; no GL is involved, so the cost of a
// frame's gathering can be measured on its own. Opaque records are appended in gathering
// order; see-through ones are collected and appended after all opaque ones by Finish(),
// so they blend over what lies behind them.
class VoxelGatherer {
  public:
    // Single voxels are worked out again every frame (they have no model to keep the
    // result with); past this many that would cost more than it shows.
    static constexpr std::size_t kMaxOccludedSingleVoxels = 4096;

    // With a cache, opaque models leave out the voxels the cache finds enclosed.
    VoxelGatherer(std::vector<VoxelInstance>& instances, SeeThroughVoxels& transparent,
                  VisibleVoxelCache* visible = nullptr)
        : instances(instances), transparent(transparent), visible(visible) {}

    // Also gathers the corner occlusion of each record into `levels`, at the record's
    // index: a model's opaque voxels get what the cache finds for them; opaque single voxels
    // unturned on whole-number positions get what they make of one another, while there
    // are no more than kMaxOccludedSingleVoxels of them; everything else gets 0. `levels`
    // stays empty when no record is occluded.
    void SetOcclusion(VoxelOcclusionCache* cache, std::vector<std::uint64_t>* levels) {
        occlusion = cache;
        occlusionLevels = levels;
    }

    // Empties the containers; their storage is kept for the next frame.
    void Clear();

    // One cube at the transform; opaque only when color.a is exactly 1.0.
    void AddVoxel(const VoxelComponent& voxel, const TransformComponent& transform);

    // Every voxel of the component's model, all of them opaque or all see-through as the
    // component's alpha is exactly 1.0 or not. Nothing for an invisible component or one
    // without a model. The transform's scale is not applied; the component's voxelScale
    // scales the voxels and the origin offset, which is added after the rotation.
    void AddModel(const VoxelModelComponent& component, const TransformComponent& transform);

    // Appends the see-through records to the instance array, in draw order.
    void Finish();

    // A record of no component (a particle), opaque only when color.a is exactly 1.0.
    void AddRecord(const VoxelInstance& record) {
        if (record.color.a == 1.0f)
            AddOpaque(record);
        else
            transparent.Add(record);
    }

    // The whole frame: Clear, every attached VoxelComponent then every attached
    // VoxelModelComponent in object-id order, then the `loose` records, Finish.
    void GatherScene(const std::vector<VoxelInstance>* loose = nullptr);

    // After Finish: the index of the first record whose alpha is not exactly 1.0 or that is
    // see-through; records before it can be drawn without blending, which gives the same
    // pixels (an alpha of 1 keeps nothing of what lies behind) for less work.
    std::size_t FirstBlended() const { return firstBlended; }
    // After Finish: how many records come before the see-through ones.
    std::size_t OpaqueCount() const { return opaqueCount; }

  private:
    void OccludeSingleVoxels(std::size_t first);
    void AddOpaque(const VoxelInstance& record, std::uint64_t levels = 0) {
        if (record.color.a != 1.0f && firstBlended > instances.size())
            firstBlended = instances.size();
        instances.push_back(record);
        // Filled up to the record only when it is occluded: a frame without occlusion
        // leaves the levels empty and costs nothing to upload.
        if (levels != 0) {
            occlusionLevels->resize(instances.size() - 1, 0);
            occlusionLevels->push_back(levels);
        }
    }

    std::vector<VoxelInstance>& instances;
    SeeThroughVoxels& transparent;
    VisibleVoxelCache* visible;
    VoxelOcclusionCache* occlusion = nullptr;
    std::vector<std::uint64_t>* occlusionLevels = nullptr;
    std::size_t firstBlended = SIZE_MAX;
    std::size_t opaqueCount = 0;
};
