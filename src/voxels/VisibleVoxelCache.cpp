#include "voxels/VisibleVoxelCache.h"

#include <cmath>

#include <glm/common.hpp>
#include <glm/vec3.hpp>

#include "voxels/VoxelModel.h"

namespace {

// Whole numbers up to here are exact in a float, and so are their neighbours.
constexpr float kLargestCoordinate = 16777216.0f;

bool OnGrid(float v) {
    return std::fabs(v) <= kLargestCoordinate && std::floor(v) == v; // false for NaN
}

// One bit per cell of the model's bounding box, x fastest.
class CellMarks {
  public:
    CellMarks(std::int64_t sizeX, std::int64_t sizeY, std::int64_t sizeZ)
        : sizeX(sizeX), sizeXY(sizeX * sizeY),
          bits(static_cast<std::size_t>((sizeXY * sizeZ + 63) / 64 + 1), 0) {}

    std::int64_t Index(std::int64_t x, std::int64_t y, std::int64_t z) const {
        return x + sizeX * y + sizeXY * z;
    }
    void Set(std::int64_t i) { bits[std::size_t(i >> 6)] |= std::uint64_t(1) << (i & 63); }
    bool Get(std::int64_t i) const { return (bits[std::size_t(i >> 6)] >> (i & 63)) & 1; }
    // Cells i, i + 1 and i + 2 are all marked.
    bool Three(std::int64_t i) const {
        const std::size_t word = std::size_t(i >> 6);
        const unsigned shift = unsigned(i & 63);
        std::uint64_t run = bits[word] >> shift;
        if (shift > 61)
            run |= bits[word + 1] << (64 - shift);
        return (run & 7) == 7;
    }

    const std::int64_t sizeX;
    const std::int64_t sizeXY;

  private:
    std::vector<std::uint64_t> bits;
};

} // namespace

bool VisibleVoxelCache::FindVisible(const std::vector<VoxelInstance>& voxels,
                                    std::vector<std::uint32_t>& visible) {
    visible.clear();
    // An enclosed voxel needs 26 others around it.
    if (voxels.size() < 27 || voxels.size() > UINT32_MAX)
        return false;
    glm::vec3 low(kLargestCoordinate), high(-kLargestCoordinate);
    for (const VoxelInstance& v : voxels) {
        if (v.color.a != 1.0f || !OnGrid(v.position.x) || !OnGrid(v.position.y) ||
            !OnGrid(v.position.z))
            return false;
        low = glm::min(low, glm::vec3(v.position));
        high = glm::max(high, glm::vec3(v.position));
    }
    const std::int64_t sizeX = std::int64_t(high.x - low.x) + 1,
                       sizeY = std::int64_t(high.y - low.y) + 1,
                       sizeZ = std::int64_t(high.z - low.z) + 1;
    if (sizeX < 3 || sizeY < 3 || sizeZ < 3 ||
        std::uint64_t(sizeX) * std::uint64_t(sizeY) * std::uint64_t(sizeZ) > kMaxCells)
        return false;

    CellMarks marks(sizeX, sizeY, sizeZ);
    auto cell = [&](const VoxelInstance& v) {
        return glm::ivec3(int(v.position.x - low.x), int(v.position.y - low.y),
                          int(v.position.z - low.z));
    };
    for (const VoxelInstance& v : voxels) {
        const glm::ivec3 c = cell(v);
        marks.Set(marks.Index(c.x, c.y, c.z));
    }

    visible.reserve(voxels.size());
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        const glm::ivec3 c = cell(voxels[i]);
        bool enclosed =
            c.x > 0 && c.y > 0 && c.z > 0 && c.x < sizeX - 1 && c.y < sizeY - 1 && c.z < sizeZ - 1;
        // Nine rows of three cells around the voxel, the voxel's own row included.
        for (int dz = -1; enclosed && dz <= 1; ++dz)
            for (int dy = -1; enclosed && dy <= 1; ++dy)
                enclosed = marks.Three(marks.Index(c.x - 1, c.y + dy, c.z + dz));
        if (!enclosed)
            visible.push_back(static_cast<std::uint32_t>(i));
    }
    if (visible.size() == voxels.size()) {
        visible.clear();
        visible.shrink_to_fit();
        return false;
    }
    visible.shrink_to_fit();
    return true;
}
