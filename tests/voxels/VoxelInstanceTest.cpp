#include <limits>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "voxels/VoxelInstance.h"

namespace {
// The tag rides in the red channel so the drawing order can be read back.
std::vector<float> OrderOf(const std::vector<glm::vec4>& tagged) {
    std::multiset<VoxelInstance, TransparentVoxelOrder> set;
    for (const glm::vec4& t : tagged) {
        VoxelInstance v;
        v.position = glm::vec4(t.x, t.y, t.z, 1.0f);
        v.color.r = t.w;
        set.insert(v);
    }
    std::vector<float> tags;
    for (const VoxelInstance& v : set)
        tags.push_back(v.color.r);
    return tags;
}
} // namespace

// The gathering test covers y before z and ties keeping their order; here the cases it
// does not reach: x as the last key, -0 equal to +0, and NaN, which must sort last so
// that the set stays consistent.
TEST(TransparentVoxelOrder, XBreaksTiesZeroSignsAreEqualAndNaNSortsLast) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(OrderOf({{9, 1, 3, 1},
                       {1, 1, 3, 2},
                       {1, 1, -0.0f, 3},
                       {1, 1, 0, 4},
                       {0, nan, 0, 5},
                       {0, 3, nan, 6},
                       {0, nan, 0, 7},
                       {0, -3, 0, 8},
                       {0, 3, 0, 9}}),
              (std::vector<float>{8, 3, 4, 2, 1, 9, 6, 5, 7}));
}
