#include "voxels/VoxelOcclusionCache.h"

#include <cmath>

#include "voxels/VoxelModel.h"

namespace {

// Whole numbers up to here are exact in a float, and so are their neighbours.
constexpr float kLargestCoordinate = 16777216.0f;

bool OnGrid(float v) {
    return std::fabs(v) <= kLargestCoordinate && std::floor(v) == v; // false for NaN
}

bool Opaque(const VoxelInstance& v) {
    return v.color.a == 1.0f;
}

} // namespace

bool VoxelOcclusionCache::Compute(const std::vector<VoxelInstance>& voxels,
                                  std::vector<std::uint64_t>& levels) {
    levels.clear();
    // In double: the span of two coordinates near the limit is not exact in a float.
    double low[3] = {kLargestCoordinate, kLargestCoordinate, kLargestCoordinate};
    double high[3] = {-kLargestCoordinate, -kLargestCoordinate, -kLargestCoordinate};
    bool anyOpaque = false;
    for (const VoxelInstance& v : voxels) {
        if (!OnGrid(v.position.x) || !OnGrid(v.position.y) || !OnGrid(v.position.z))
            return false;
        if (!Opaque(v))
            continue;
        anyOpaque = true;
        for (int a = 0; a < 3; ++a) {
            low[a] = std::fmin(low[a], double(v.position[a]));
            high[a] = std::fmax(high[a], double(v.position[a]));
        }
    }
    if (!anyOpaque)
        return false;

    // A margin of one cell on every side: the cells around any opaque voxel's faces are
    // then inside the grid and need no bounds checks.
    std::int64_t size[3];
    std::uint64_t cells = 1;
    for (int a = 0; a < 3; ++a) {
        size[a] = std::int64_t(high[a] - low[a]) + 3;
        cells *= std::uint64_t(size[a]);
        if (cells > kMaxCells)
            return false;
    }
    const std::int64_t stride[3] = {1, size[0], size[0] * size[1]};
    std::vector<std::uint64_t> marks(std::size_t(cells / 64 + 1), 0);
    auto get = [&marks](std::int64_t i) -> unsigned {
        return unsigned(marks[std::size_t(i >> 6)] >> (i & 63)) & 1u;
    };
    auto cellOf = [&](const VoxelInstance& v) {
        return std::int64_t(double(v.position.x) - low[0] + 1) * stride[0] +
               std::int64_t(double(v.position.y) - low[1] + 1) * stride[1] +
               std::int64_t(double(v.position.z) - low[2] + 1) * stride[2];
    };
    for (const VoxelInstance& v : voxels)
        if (Opaque(v)) {
            const std::int64_t i = cellOf(v);
            marks[std::size_t(i >> 6)] |= std::uint64_t(1) << (i & 63);
        }

    levels.assign(voxels.size(), 0);
    bool anyMarked = false;
    for (std::size_t n = 0; n < voxels.size(); ++n) {
        if (!Opaque(voxels[n]))
            continue;
        const std::int64_t cell = cellOf(voxels[n]);
        std::uint64_t word = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const std::int64_t du = stride[(axis + 1) % 3], dv = stride[(axis + 2) % 3];
            for (int negative = 0; negative < 2; ++negative) {
                const std::int64_t front = cell + (negative ? -stride[axis] : stride[axis]);
                const int face = 2 * axis + negative;
                if (get(front) != 0) {
                    word |= std::uint64_t(1) << (kFirstCoveredBit + face);
                    continue;
                }
                for (int k = 0; k < 4; ++k) {
                    const std::int64_t su = k & 1 ? du : -du, sv = k & 2 ? dv : -dv;
                    const unsigned side1 = get(front + su), side2 = get(front + sv);
                    const unsigned level =
                        side1 & side2 ? 3u : side1 + side2 + get(front + su + sv);
                    word |= std::uint64_t(level) << (8 * face + 2 * k);
                }
            }
        }
        levels[n] = word;
        anyMarked |= word != 0;
    }
    if (!anyMarked) {
        levels.clear();
        levels.shrink_to_fit();
    }
    return anyMarked;
}
