#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include <gtest/gtest.h>

#include "voxels/fuzz/VoxelModelRoundTrip.h"

namespace fs = std::filesystem;

// The fuzzer's seeds replayed through the same check, so every build runs the cases
// it starts from: empty and cut-off files, counts larger than the data, odd floats, and
// .vox files with scene graphs, unknown chunks, cut-off chunks and cyclic graphs.
TEST(VoxelModelFuzzCorpus, EverySeedLoadsSavesAndReloadsAsTheFormatSays) {
    const fs::path corpus = fs::path(MARROWVALE_SOURCE_DIR) / "tests/voxels/fuzz-corpus";
    int seeds = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        EXPECT_EQ(CheckVoxelModelRoundTrip(bytes.data(), bytes.size()), "")
            << entry.path().filename();
        EXPECT_EQ(CheckVoxRoundTrip(bytes.data(), bytes.size()), "") << entry.path().filename();
        ++seeds;
    }
    EXPECT_GE(seeds, 8) << "the seed corpus is missing";
}
