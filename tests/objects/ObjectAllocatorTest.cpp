#include <gtest/gtest.h>

#include <list>
#include <map>
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

// The code of the OAException `action` throws (its text into *message), or -1.
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

TEST(ObjectAllocator, StatisticsReportAndGrowthByWholePagesLastSlotFirst) {
    ObjectAllocator pool(96, DefaultMMConfig());
    const auto* page = static_cast<const std::byte*>(pool.GetPageList());
    void* first = pool.Allocate();
    EXPECT_EQ(first, page + pool.GetFirstBlockOffset() + 249 * pool.GetBlockStride());
    pool.Free(first);
    std::vector<void*> blocks{pool.Allocate()};
    std::ostringstream report;
    report << std::hex; // the caller's formatting must not leak into the report
    pool.DumpStatistics(report);
    EXPECT_TRUE(report.flags() & std::ios_base::hex);
    // Each statistic reads back as the pool counts it, and the values line up.
    std::map<std::string, std::string> statistics;
    std::set<std::size_t> valueColumns;
    std::istringstream lines(report.str());
    for (std::string line; std::getline(lines, line) && line != "Configuration:";) {
        const std::size_t colon = line.find(':'), value = line.find_first_not_of(' ', colon + 1);
        if (line[0] == '\t' && value != std::string::npos) {
            statistics[line.substr(1, colon - 1)] = line.substr(value);
            valueColumns.insert(value);
        }
    }
    EXPECT_EQ(valueColumns.size(), 1u) << report.str();
    for (const auto& [label, value] : {std::pair{"Allocations", "2"},
                                       {"Deallocations", "1"},
                                       {"Objects in use", "1"},
                                       {"Objects free", "249"},
                                       {"Pages in use", "1"},
                                       {"Page size (bytes)", "26012"},
                                       {"Most Objects in use", "1"}})
        EXPECT_EQ(statistics[label], value) << label;
    EXPECT_EQ(statistics.size(), 12u);

    for (int i = 1; i < 251; ++i)
        blocks.push_back(pool.Allocate());
    EXPECT_EQ(pool.GetStats().PagesInUse, 2u);
    EXPECT_EQ(pool.GetStats().FreeObjects, 249u);
    for (void* block : blocks)
        pool.Free(block);
    EXPECT_EQ(pool.GetStats().FreeObjects, 500u);
}

TEST(ObjectAllocator, AlignmentFillersFollowTheLayoutRules) {
    OAConfig config;
    config.Alignment = 16;
    config.HeaderSize = 4;
    ObjectAllocator pool(20, config);
    // Link 8 + header 4 = 12 -> 4 of filler; slot 24 -> 8 of filler.
    EXPECT_EQ(pool.GetConfig().LeftAlignSize, 4u);
    EXPECT_EQ(pool.GetConfig().InterAlignSize, 8u);
    EXPECT_EQ(pool.GetStats().PageSize, 8u + 4u + 4u * 32u);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(pool.Allocate()) % 16, 0u);

    config.HeaderSize = 0; // a slot that is already a larger multiple gets a whole alignment
    EXPECT_EQ(ObjectAllocator(32, config).GetConfig().InterAlignSize, 16u);
}

TEST(ObjectAllocator, DebugModeGuardsSmallBlocksListsThoseInUseFindsDamageAndRejectsBadFrees) {
    ObjectAllocator tiny(4, DebugConfig(4, 0)); // blocks smaller than a pointer
    std::vector<std::uint32_t*> blocks;
    for (std::uint32_t i = 0; i < 10; ++i) {
        blocks.push_back(static_cast<std::uint32_t*>(tiny.Allocate()));
        *blocks.back() = 0xFFFFFFFFu - i;
    }
    // Freeing writes a pointer-sized link into a block; its neighbours and
    // guard bytes must survive that.
    for (std::size_t i = 0; i < blocks.size(); i += 2)
        tiny.Free(blocks[i]);
    for (std::size_t i = 1; i < blocks.size(); i += 2)
        EXPECT_EQ(*blocks[i], 0xFFFFFFFFu - i);
    EXPECT_EQ(tiny.ValidatePages(nullptr), 0u);
    for (std::uint32_t header : {0u, 4u}) { // double frees are found by flag or by list
        SCOPED_TRACE(header);
        ObjectAllocator pool(16, DebugConfig(4, header));
        std::set<const void*> kept, listed;
        for (int i = 0; i < 6; ++i) {
            void* block = pool.Allocate();
            if (i % 2)
                pool.Free(block);
            else
                kept.insert(block);
        }
        EXPECT_EQ(pool.DumpMemoryInUse([&](const void* b, std::size_t) { listed.insert(b); }), 3u);
        EXPECT_EQ(listed, kept);
        auto* damaged = static_cast<unsigned char*>(const_cast<void*>(*kept.begin()));
        damaged[16] = 0;
        const void* reported = nullptr;
        EXPECT_EQ(
            CodeOf([&] { pool.ValidatePages([&](const void* b, std::size_t) { reported = b; }); }),
            OAException::E_CORRUPTED_BLOCK);
        EXPECT_EQ(reported, damaged);
        damaged[16] = 0xDD;

        auto* block = static_cast<char*>(pool.Allocate());
        alignas(8) char local[16] = {}; // room for a free-list link all the same
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
        EXPECT_EQ(pool.GetStats().ObjectsInUse, 4u);

        pool.Free(block);
        EXPECT_EQ(CodeOf([&] { pool.Free(block); }, &message), OAException::E_MULTIPLE_FREE);
        EXPECT_EQ(message, "FreeObject: Object has already been freed.");
        EXPECT_EQ(pool.GetStats().FreeObjects, 1u);
    }

    OAConfig limited;
    limited.MaxPages = 1;
    limited.ObjectsPerPage = 4;
    ObjectAllocator pool(32, limited);
    for (int i = 0; i < 4; ++i)
        pool.Allocate();
    std::string message;
    EXPECT_EQ(CodeOf([&] { pool.Allocate(); }, &message), OAException::E_NO_PAGES);
    EXPECT_EQ(message, "allocate_new_page: The maximum number of pages has been allocated.");
}

TEST(PoolAllocator, ContainerNodesComeFromTheFittingPool) {
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
