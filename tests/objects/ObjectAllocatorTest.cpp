#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <sstream>
#include <vector>

#include "objects/BlockAllocator.h"

namespace {

OAConfig DebugConfig(std::uint32_t padBytes, std::uint32_t headerSize) {
    OAConfig config;
    config.DebugOn = true;
    config.PadBytes = padBytes;
    config.HeaderSize = headerSize;
    return config;
}

// Runs `action` and returns the code of the OAException it throws, or -1.
template <class F> int CodeOf(F&& action, std::string* message = nullptr) {
    try {
        action();
    } catch (const OAException& e) {
        if (message)
            *message = e.what();
        return e.code;
    }
    return -1;
}

TEST(ObjectAllocator, HandsOutLastSlotFirstAndGrowsByWholePages) {
    ObjectAllocator pool(96, DefaultMMConfig());
    const auto* page = static_cast<const std::byte*>(pool.GetPageList());
    const std::byte* lastSlot = page + pool.GetFirstBlockOffset() + 249 * pool.GetBlockStride();

    std::vector<void*> blocks{pool.Allocate()};
    EXPECT_EQ(blocks[0], lastSlot);
    for (int i = 1; i < 250; ++i)
        blocks.push_back(pool.Allocate());
    EXPECT_EQ(pool.GetStats().PagesInUse, 1u);
    EXPECT_EQ(pool.GetStats().FreeObjects, 0u);

    blocks.push_back(pool.Allocate());
    EXPECT_EQ(pool.GetStats().PagesInUse, 2u);
    EXPECT_EQ(pool.GetStats().FreeObjects, 249u);
    EXPECT_EQ(pool.GetStats().ObjectsInUse, 251u);
    EXPECT_NE(pool.GetPageList(), page) << "the newest page heads the list";

    for (void* block : blocks)
        pool.Free(block);
    EXPECT_EQ(pool.GetStats().ObjectsInUse, 0u);
    EXPECT_EQ(pool.GetStats().FreeObjects, 500u);
    EXPECT_EQ(pool.GetStats().MostObjects, 251u);
    EXPECT_EQ(pool.GetStats().Deallocations, 251u);
}

TEST(ObjectAllocator, EnginePoolsHandOutPointerAlignedBlocks) {
    for (std::size_t size : {4, 16, 32, 64, 96, 120}) {
        ObjectAllocator pool(size, DefaultMMConfig());
        for (int i = 0; i < 300; ++i)
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pool.Allocate()) % 8, 0u) << size;
    }
}

TEST(ObjectAllocator, AlignmentFillersFollowTheLayoutRules) {
    OAConfig config;
    config.Alignment = 16;
    config.HeaderSize = 4;
    ObjectAllocator pool(20, config);
    // first = 8 + 4 = 12 -> 4 of filler; slot = 24 -> 8 of filler.
    EXPECT_EQ(pool.GetConfig().LeftAlignSize, 4u);
    EXPECT_EQ(pool.GetConfig().InterAlignSize, 8u);
    EXPECT_EQ(pool.GetBlockStride(), 32u);
    EXPECT_EQ(pool.GetFirstBlockOffset(), 16u);
    EXPECT_EQ(pool.GetStats().PageSize, 8u + 4u + 4u * 32u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pool.Allocate()) % 16, 0u);

    // A slot that is already a larger multiple still gets a whole alignment.
    config.HeaderSize = 0;
    ObjectAllocator exact(32, config);
    EXPECT_EQ(exact.GetConfig().InterAlignSize, 16u);
}

TEST(ObjectAllocator, BlocksSmallerThanAPointerDoNotOverlap) {
    ObjectAllocator pool(4, DebugConfig(4, 0));
    EXPECT_EQ(pool.GetStats().ObjectSize, 4u);
    std::vector<std::uint32_t*> blocks;
    for (std::uint32_t i = 0; i < 10; ++i) {
        blocks.push_back(static_cast<std::uint32_t*>(pool.Allocate()));
        *blocks.back() = 0xFFFFFFFFu - i;
    }
    EXPECT_EQ(pool.ValidatePages(nullptr), 0u);
    // Freeing writes a pointer-sized link into each block; neighbours and
    // guard bytes must survive it.
    for (std::size_t i = 0; i < blocks.size(); i += 2)
        pool.Free(blocks[i]);
    for (std::size_t i = 1; i < blocks.size(); i += 2)
        EXPECT_EQ(*blocks[i], 0xFFFFFFFFu - i);
    EXPECT_EQ(pool.ValidatePages(nullptr), 0u);
    for (std::size_t i = 1; i < blocks.size(); i += 2)
        pool.Free(blocks[i]);
}

TEST(ObjectAllocator, DebugModeWritesSignatureBytes) {
    OAConfig config = DebugConfig(2, 0);
    config.Alignment = 8;
    ObjectAllocator pool(16, config);
    const auto* page = static_cast<const unsigned char*>(pool.GetPageList());
    // Link 8 + pad 2 -> 6 bytes of left filler; slot 16 + 4 -> 4 of inter filler.
    EXPECT_EQ(page[8], 0xEE);
    EXPECT_EQ(page[13], 0xEE);
    EXPECT_EQ(page[14], 0xDD);
    EXPECT_EQ(page[15], 0xDD);
    EXPECT_EQ(page[16 + 16 + 2], 0xEE);

    auto* last = static_cast<unsigned char*>(pool.Allocate());
    EXPECT_EQ(last[-1], 0xDD);
    EXPECT_EQ(last[16], 0xDD);
    EXPECT_EQ(last[0], 0xBB);
    EXPECT_EQ(last[15], 0xBB);
    EXPECT_EQ(last[18], 0xAA) << "the last slot's filler stays untouched";
    pool.Free(last);
    EXPECT_EQ(last[8], 0xCC) << "freed past the free-list link";
    EXPECT_EQ(last[15], 0xCC);
}

TEST(ObjectAllocator, DebugModeRejectsBadFrees) {
    for (std::uint32_t header : {0u, 4u}) {
        SCOPED_TRACE(header);
        ObjectAllocator pool(16, DebugConfig(4, header));
        auto* block = static_cast<char*>(pool.Allocate());
        int local = 0;
        std::string message;

        EXPECT_EQ(CodeOf([&] { pool.Free(&local); }, &message), OAException::E_BAD_ADDRESS);
        EXPECT_EQ(message, "validate_object: Object not on a page.");
        EXPECT_EQ(CodeOf([&] { pool.Free(block + 1); }, &message), OAException::E_BAD_BOUNDARY);
        EXPECT_EQ(message, "validate_object: Object on bad boundary in page.");

        block[-3] = 0;
        EXPECT_EQ(CodeOf([&] { pool.Free(block); }, &message), OAException::E_CORRUPTED_BLOCK);
        EXPECT_EQ(message, "check_padbytes: Memory corrupted before block.");
        block[-3] = static_cast<char>(0xDD);
        block[16 + 3] = 0;
        EXPECT_EQ(CodeOf([&] { pool.Free(block); }, &message), OAException::E_CORRUPTED_BLOCK);
        EXPECT_EQ(message, "check_padbytes: Memory corrupted after block.");
        block[16 + 3] = static_cast<char>(0xDD);

        EXPECT_EQ(pool.GetStats().ObjectsInUse, 1u) << "rejected frees change nothing";
        pool.Free(block);
        EXPECT_EQ(CodeOf([&] { pool.Free(block); }, &message), OAException::E_MULTIPLE_FREE);
        EXPECT_EQ(message, "FreeObject: Object has already been freed.");
        EXPECT_EQ(pool.GetStats().FreeObjects, 4u);
    }
}

TEST(ObjectAllocator, PageLimitStopsAllocation) {
    OAConfig config;
    config.MaxPages = 1;
    config.ObjectsPerPage = 4;
    ObjectAllocator pool(32, config);
    for (int i = 0; i < 4; ++i)
        pool.Allocate();
    std::string message;
    EXPECT_EQ(CodeOf([&] { pool.Allocate(); }, &message), OAException::E_NO_PAGES);
    EXPECT_EQ(message, "allocate_new_page: The maximum number of pages has been allocated.");
    EXPECT_EQ(pool.GetStats().Allocations, 4u);
}

TEST(ObjectAllocator, ListsBlocksInUseAndFindsDamagedGuards) {
    for (std::uint32_t header : {0u, 4u}) {
        SCOPED_TRACE(header);
        ObjectAllocator pool(24, DebugConfig(1, header));
        std::set<const void*> kept;
        for (int i = 0; i < 6; ++i) {
            void* block = pool.Allocate();
            if (i % 2)
                pool.Free(block);
            else
                kept.insert(block);
        }
        std::set<const void*> listed;
        EXPECT_EQ(pool.DumpMemoryInUse([&](const void* block, std::size_t size) {
            EXPECT_EQ(size, 24u);
            listed.insert(block);
        }),
                  3u);
        EXPECT_EQ(listed, kept);

        auto* damaged = static_cast<unsigned char*>(const_cast<void*>(*kept.begin()));
        damaged[24] = 0;
        const void* reported = nullptr;
        EXPECT_EQ(CodeOf([&] {
                      pool.ValidatePages([&](const void* block, std::size_t) { reported = block; });
                  }),
                  OAException::E_CORRUPTED_BLOCK);
        EXPECT_EQ(reported, damaged);
    }
}

TEST(ObjectAllocator, HeapBypassCountsButKeepsNoPages) {
    OAConfig config;
    config.UseCPPMemManager = true;
    ObjectAllocator pool(40, config);
    EXPECT_EQ(pool.GetStats().PagesInUse, 0u);
    void* a = pool.Allocate();
    void* b = pool.Allocate();
    EXPECT_EQ(pool.GetStats().ObjectsInUse, 2u);
    pool.Free(a);
    pool.Free(b);
    EXPECT_EQ(pool.GetStats().ObjectsInUse, 0u);
    EXPECT_EQ(pool.GetStats().FreeObjects, 0u);
    EXPECT_EQ(pool.GetStats().Deallocations, 2u);
}

TEST(ObjectAllocator, StatisticsReport) {
    ObjectAllocator pool(96, DefaultMMConfig());
    void* a = pool.Allocate();
    pool.Allocate();
    pool.Free(a);
    std::ostringstream report;
    report << std::hex; // the report must not depend on the caller's stream state
    pool.DumpStatistics(report);
    EXPECT_EQ(report.str(), "Object Allocator for object size 96: \n"
                            "----------------------------------------\n"
                            "Statistics:\n"
                            "\tAllocations:                2\n"
                            "\tDeallocations:              1\n"
                            "\tThreadAllocations:          0\n"
                            "\tThreadDeallocations:        0\n"
                            "\tObjects in use:             1\n"
                            "\tObjects free:               249\n"
                            "\tThread objects in use:      0\n"
                            "\tThread objects free:        0\n"
                            "\tPages in use:               1\n"
                            "\tPage size (bytes):          26012\n"
                            "\tMost Objects in use:        2\n"
                            "\tMost thread objects in use: 0\n"
                            "Configuration:\n"
                            "\tDebug mode:       false\n"
                            "\tThread Safe mode  true\n"
                            "\tMin thread blocks 10\n"
                            "\tMax thread blocks 30\n"
                            "\tObjects per page: 250\n"
                            "\tMax Pages:        2000\n"
                            "\tPad Bytes:        0\n"
                            "\tHeader Blocks:    4\n"
                            "\tAlignment:        8\n"
                            "\tLeft Align:       4\n"
                            "\tRight Align:      4\n");
    EXPECT_TRUE(report.flags() & std::ios_base::hex);

    OAConfig bypass;
    bypass.UseCPPMemManager = true;
    std::ostringstream bypassReport;
    ObjectAllocator(8, bypass).DumpStatistics(bypassReport);
    EXPECT_NE(bypassReport.str().find("Configuration:\n\tUsing global new and delete.\n"
                                      "\tDebug mode:       false\n"),
              std::string::npos);
}

} // namespace
