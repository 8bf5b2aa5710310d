#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include <glm/vec3.hpp>

#include "voxels/VoxelInstance.h"

// A frame's opaque voxel records put nearest the eye first. The rasteriser tests depth
// before it shades a pixel, so a voxel hidden behind one already drawn costs little; drawn
// far to near, every layer is shaded in full. Lit pixels, with the sun's shadow looked up
// for each, are worth the reordering (in the sample village it takes a third off a
// shadowed frame); unlit frames keep the order they always drew in, and with it every
// pixel where two faces lie at exactly the same depth.
//
// Records are put in buckets by distance, not fully sorted: ordered to within a thousandth
// of the scene's depth is as good for the depth test, and costs one pass over the records
// instead of a sort of them every frame.
class NearFirstOrder {
  public:
    // Orders records [0, count) of `instances` by the distance of their centres from `eye`,
    // nearest first, keeping the order they came in within a bucket; records from `count`
    // on follow as they are. `levels`, when not empty, holds one word per record and is
    // reordered alike.
    void Arrange(const std::vector<VoxelInstance>& instances, std::size_t count,
                 const std::vector<std::uint64_t>& levels, const glm::vec3& eye);

    const std::vector<VoxelInstance>& Instances() const { return instances; }
    const std::vector<std::uint64_t>& Levels() const { return levels; }

  private:
    static constexpr std::size_t kBuckets = 1024;

    std::vector<VoxelInstance> instances;
    std::vector<std::uint64_t> levels;
    std::vector<float> distances;
    std::vector<std::uint32_t> buckets;
    std::vector<std::uint32_t> starts;
};
