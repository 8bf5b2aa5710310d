#include <gtest/gtest.h>

#include <list>

#include "objects/BlockAllocator.h"

namespace {

TEST(PoolAllocator, ContainerNodesComeFromTheFittingPool) {
    static_assert(PoolAllocator<char>::kBlockSize == 4);
    static_assert(PoolAllocator<double[5]>::kBlockSize == 64);
    const OAStats& stats = *BlockAllocator<32>::Instance().GetStatistics();
    const std::size_t before = stats.ObjectsInUse;
    {
        std::list<int, PoolAllocator<int>> values; // node: two links and an int, 24 bytes
        for (int i = 0; i < 300; ++i)
            values.push_back(i);
        EXPECT_EQ(stats.ObjectsInUse, before + 300);
        values.remove_if([](int v) { return v % 2; });
        EXPECT_EQ(stats.ObjectsInUse, before + 150);
        EXPECT_EQ(values.back(), 298);
    }
    EXPECT_EQ(stats.ObjectsInUse, before);
}

} // namespace
