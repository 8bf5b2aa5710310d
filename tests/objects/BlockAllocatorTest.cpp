#include <gtest/gtest.h>

#include <list>

#include "objects/BlockAllocator.h"

namespace {

TEST(BlockAllocator, OneSharedPoolPerBlockSize) {
    BaseBlockAllocator* pools[] = {&BlockAllocator<4>::Instance(), &BlockAllocator<16>::Instance(),
                                   &BlockAllocator<32>::Instance(), &BlockAllocator<64>::Instance(),
                                   &BlockAllocator<96>::Instance()};
    const std::size_t sizes[] = {4, 16, 32, 64, 96};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(pools[i]->GetBlockSize(), sizes[i]);
        EXPECT_GE(pools[i]->GetStatistics()->PagesInUse, 1u) << "a pool starts with a page";
    }
    EXPECT_EQ(&BlockAllocator<32>::Instance(), pools[2]);

    ObjectAllocator& pool = BlockAllocator<16>::Instance().GetAllocator();
    const std::size_t before = pool.GetStats().ObjectsInUse;
    void* block = pool.Allocate();
    EXPECT_EQ(pools[1]->GetStatistics()->ObjectsInUse, before + 1);
    bool listed = false;
    pools[1]->DumpMemoryInUse([&](const void* b, std::size_t) { listed = listed || b == block; });
    EXPECT_TRUE(listed);
    pool.Free(block);
}

TEST(PoolAllocator, ContainerNodesComeFromTheFittingPool) {
    static_assert(PoolAllocator<char>::kBlockSize == 4);
    static_assert(PoolAllocator<double[2]>::kBlockSize == 16);
    static_assert(PoolAllocator<double[5]>::kBlockSize == 64);

    const OAStats& stats = *BlockAllocator<32>::Instance().GetStatistics();
    const std::size_t before = stats.ObjectsInUse;
    {
        // A list node of an int is two links and the int: 24 bytes.
        std::list<int, PoolAllocator<int>> values;
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
