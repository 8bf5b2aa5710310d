#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <vector>

#include <gtest/gtest.h>

#include "voxels/VisibleVoxelCache.h"
#include "voxels/VoxelTestSupport.h"

TEST(VisibleVoxelCache, LeavesOutOnlyVoxelsEnclosedOnAllSidesAndFollowsEveryChange) {
    VisibleVoxelCache cache;
    VoxelModel block = Block(4);
    const std::vector<std::uint32_t>* visible = cache.Find(block);
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->size(), 56u) << "the 2 x 2 x 2 core is enclosed";
    EXPECT_EQ(std::count(visible->begin(), visible->end(), 21u), 0) << "(1, 1, 1)";
    EXPECT_TRUE(std::is_sorted(visible->begin(), visible->end())) << "model order is kept";
    EXPECT_EQ(cache.Find(block), visible) << "unchanged: the same list";

    // Without (0, 0, 1), the edge neighbour of (1, 1, 1) and corner neighbour of (1, 1, 2),
    // both can be seen through the notch at a grazing angle.
    block.voxels.erase(block.voxels.begin() + 16);
    block.MarkChanged();
    visible = cache.Find(block);
    ASSERT_NE(visible, nullptr);
    EXPECT_EQ(visible->size(), 63u - 6u);

    // Anything see-through, or off the whole-unit grid, keeps every voxel.
    block.voxels[5].color.a = 0.99f;
    block.MarkChanged();
    EXPECT_EQ(cache.Find(block), nullptr);
    block.voxels[5].color.a = 1.0f;
    block.voxels[0].position.x = 0.5f;
    block.MarkChanged();
    EXPECT_EQ(cache.Find(block), nullptr);
    block.voxels[0].position.x = std::numeric_limits<float>::quiet_NaN();
    block.MarkChanged();
    EXPECT_EQ(cache.Find(block), nullptr);

    // A change that forgets MarkChanged but changes the count is still noticed.
    VoxelModel other = Block(3);
    ASSERT_NE(cache.Find(other), nullptr);
    other.voxels.pop_back();
    EXPECT_EQ(cache.Find(other), nullptr);

    // Face neighbours alone do not enclose; a grid too large to mark keeps everything.
    VoxelModel plus;
    for (const glm::vec3 p :
         {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(-1, 0, 0), glm::vec3(0, 1, 0),
          glm::vec3(0, -1, 0), glm::vec3(0, 0, 1), glm::vec3(0, 0, -1)})
        plus.voxels.push_back(Cell(p));
    VoxelModel far = Block(3);
    far.voxels.push_back(Cell({100000.0f, 100000.0f, 100000.0f}));
    std::vector<std::uint32_t> list;
    EXPECT_FALSE(VisibleVoxelCache::FindVisible(plus.voxels, list));
    EXPECT_FALSE(VisibleVoxelCache::FindVisible(far.voxels, list));
    far.voxels.back() = Cell({-1000.0f, 2.0f, 2.0f}); // large, but small enough to mark
    EXPECT_TRUE(VisibleVoxelCache::FindVisible(far.voxels, list));
    EXPECT_EQ(list.size(), 27u);
}
