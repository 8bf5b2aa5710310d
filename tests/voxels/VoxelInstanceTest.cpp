#include <cmath>
#include <cstddef>
#include <limits>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "voxels/VoxelInstance.h"

namespace {

VoxelInstance At(float x, float y, float z, float tag) {
    VoxelInstance v;
    v.position = glm::vec4(x, y, z, 1.0f);
    v.color = glm::vec4(tag, 0.0f, 0.0f, 0.5f);
    return v;
}

std::vector<float> Tags(const std::multiset<VoxelInstance, TransparentVoxelOrder>& set) {
    std::vector<float> tags;
    for (const VoxelInstance& v : set)
        tags.push_back(v.color.r);
    return tags;
}

} // namespace

TEST(VoxelInstance, LayoutIsThreeTexels) {
    EXPECT_EQ(offsetof(VoxelInstance, color), 0u);
    EXPECT_EQ(offsetof(VoxelInstance, position), 16u);
    EXPECT_EQ(offsetof(VoxelInstance, orientation), 32u);
    const VoxelInstance fresh;
    EXPECT_EQ(fresh.orientation, glm::vec4(0.0f, 0.0f, 0.0f, 1.0f));
}

TEST(TransparentVoxelOrder, SortsByYThenZThenX) {
    std::multiset<VoxelInstance, TransparentVoxelOrder> set;
    set.insert(At(0, 2, 0, 1));
    set.insert(At(5, 1, 9, 2));
    set.insert(At(9, 1, 3, 3));
    set.insert(At(1, 1, 3, 4));
    set.insert(At(0, -1, 100, 5));
    EXPECT_EQ(Tags(set), (std::vector<float>{5, 4, 3, 2, 1}));
}

TEST(TransparentVoxelOrder, EqualPositionsKeepInsertionOrder) {
    std::multiset<VoxelInstance, TransparentVoxelOrder> set;
    for (int i = 0; i < 6; ++i)
        set.insert(At(1, 1, 1, float(i)));
    set.insert(At(0, 0, 0, 100)); // earlier in order, inserted in between
    for (int i = 6; i < 10; ++i)
        set.insert(At(1, 1, 1, float(i)));
    set.insert(At(1, 1, -0.0f, 200)); // -0 and +0 are equal keys
    set.insert(At(1, 1, 0.0f, 201));
    EXPECT_EQ(Tags(set), (std::vector<float>{100, 200, 201, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
}

TEST(TransparentVoxelOrder, NaNSortsLastAndKeepsTheOrderConsistent) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::multiset<VoxelInstance, TransparentVoxelOrder> set;
    set.insert(At(0, nan, 0, 1));
    set.insert(At(0, 3, 0, 2));
    set.insert(At(0, nan, 0, 3));
    set.insert(At(0, -3, 0, 4));
    set.insert(At(0, 3, nan, 5));
    EXPECT_EQ(Tags(set), (std::vector<float>{4, 2, 5, 1, 3}));
}
