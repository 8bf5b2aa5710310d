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

TEST(TransparentVoxelOrder, AscendingYThenZThenXWithEqualKeysInInsertionOrder) {
    EXPECT_EQ(OrderOf({{0, 2, 0, 1}, {5, 1, 9, 2}, {9, 1, 3, 3}, {1, 1, 3, 4}, {0, -1, 100, 5}}),
              (std::vector<float>{5, 4, 3, 2, 1}));
    // Equal positions (-0 equals +0) keep the order they were gathered in.
    EXPECT_EQ(OrderOf({{1, 1, 1, 0},
                       {1, 1, 1, 1},
                       {0, 0, 0, 9},
                       {1, 1, 1, 2},
                       {1, 1, -0.0f, 7},
                       {1, 1, 0, 8},
                       {1, 1, 1, 3}}),
              (std::vector<float>{9, 7, 8, 0, 1, 2, 3}));
}

TEST(TransparentVoxelOrder, NaNSortsLastSoTheSetStaysConsistent) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(
        OrderOf({{0, nan, 0, 1}, {0, 3, 0, 2}, {0, nan, 0, 3}, {0, -3, 0, 4}, {0, 3, nan, 5}}),
        (std::vector<float>{4, 2, 5, 1, 3}));
}
