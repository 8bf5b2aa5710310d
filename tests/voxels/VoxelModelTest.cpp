#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "voxels/VoxelModel.h"

namespace fs = std::filesystem;

namespace {

std::uint32_t Bits(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    return bits;
}

float FromBits(std::uint32_t bits) {
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

class VoxelModelFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "vxmtest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<unsigned char> ReadBytes(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void WriteBytes(const fs::path& path, const std::vector<unsigned char>& bytes) {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    // count, then the given floats, all little-endian.
    std::vector<unsigned char> Encode(std::uint32_t count, const std::vector<float>& floats) {
        std::vector<unsigned char> bytes;
        auto put = [&](std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
        };
        put(count);
        for (float f : floats)
            put(Bits(f));
        return bytes;
    }

    fs::path dir;
};

VoxelInstance Voxel(glm::vec4 color, glm::vec4 position) {
    VoxelInstance v;
    v.color = color;
    v.position = position;
    v.orientation = glm::vec4(0.3f, 0.1f, 0.2f, 0.9f);
    return v;
}

} // namespace

TEST_F(VoxelModelFiles, RoundTripIsBitExactAndResetsOrientation) {
    const float nan = FromBits(0x7FC01234u); // a NaN with a payload
    const float denormal = FromBits(0x00000001u);
    VoxelModel model;
    model.voxels = {
        Voxel({1.0f, 0.5f, 0.25f, 1.0f}, {0.0f, -0.0f, 3.0f, 1.0f}),
        Voxel({nan, -0.0f, denormal, 0.3f}, {-1e30f, 1e-30f, 0.1f, 7.5f}),
        Voxel({std::numeric_limits<float>::infinity(), 2.0f, -3.0f, 0.0f},
              {12345.678f, -2.0f, 0.0f, -1.0f}),
    };
    const fs::path path = dir / "model.vxm";
    ASSERT_TRUE(model.SaveToFile(path.string()));

    // The bytes are exactly the format.
    std::vector<float> floats;
    for (const VoxelInstance& v : model.voxels)
        for (int i = 0; i < 8; ++i)
            floats.push_back(i < 4 ? v.color[i] : v.position[i - 4]);
    EXPECT_EQ(ReadBytes(path), Encode(3, floats));

    VoxelModel loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path.string()));
    ASSERT_EQ(loaded.voxels.size(), 3u);
    for (std::size_t v = 0; v < 3; ++v) {
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Bits(loaded.voxels[v].color[i]), Bits(model.voxels[v].color[i]));
            EXPECT_EQ(Bits(loaded.voxels[v].position[i]), Bits(model.voxels[v].position[i]));
        }
        EXPECT_EQ(loaded.voxels[v].orientation, glm::vec4(0, 0, 0, 1));
    }
    // Nothing but the target is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(VoxelModelFiles, EmptyModelIsFourZeroBytesBothWays) {
    const fs::path path = dir / "empty.vxm";
    VoxelModel empty;
    ASSERT_TRUE(empty.SaveToFile(path.string()));
    EXPECT_EQ(ReadBytes(path), (std::vector<unsigned char>{0, 0, 0, 0}));

    VoxelModel model;
    model.voxels.resize(2);
    ASSERT_TRUE(model.LoadFromFile(path.string()));
    EXPECT_TRUE(model.voxels.empty());
}

TEST_F(VoxelModelFiles, SaveReplacesAnExistingLongerFile) {
    const fs::path path = dir / "m.vxm";
    VoxelModel big;
    big.voxels.resize(10);
    ASSERT_TRUE(big.SaveToFile(path.string()));
    VoxelModel small;
    small.voxels = {Voxel({1, 1, 1, 1}, {1, 2, 3, 1})};
    ASSERT_TRUE(small.SaveToFile(path.string()));
    EXPECT_EQ(fs::file_size(path), 36u);
}

TEST_F(VoxelModelFiles, BackslashPathsWork) {
    fs::create_directories(dir / "Models");
    VoxelModel model;
    model.voxels = {Voxel({1, 0, 0, 1}, {4, 5, 6, 1})};
    const std::string windowsStyle = dir.string() + "\\Models\\x.vxm";
    ASSERT_TRUE(model.SaveToFile(windowsStyle));
    EXPECT_TRUE(fs::exists(dir / "Models" / "x.vxm"));
    VoxelModel loaded;
    ASSERT_TRUE(loaded.LoadFromFile(windowsStyle));
    EXPECT_EQ(loaded.voxels.at(0).position, glm::vec4(4, 5, 6, 1));
}

TEST_F(VoxelModelFiles, TruncatedFileLoadsWhatIsThereAndZeroFillsACutRecord) {
    // Announces 5, holds 2 whole records and 12 bytes of a third.
    std::vector<float> floats;
    for (int i = 0; i < 19; ++i)
        floats.push_back(float(i + 1));
    const fs::path path = dir / "short.vxm";
    WriteBytes(path, Encode(5, floats));

    VoxelModel model;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.LoadFromFile(path.string()));
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find(path.string()), std::string::npos) << report;
    EXPECT_NE(report.find("5"), std::string::npos) << report;
    EXPECT_NE(report.find("2"), std::string::npos) << report;

    ASSERT_EQ(model.voxels.size(), 3u);
    EXPECT_EQ(model.voxels[1].color, glm::vec4(9, 10, 11, 12));
    EXPECT_EQ(model.voxels[1].position, glm::vec4(13, 14, 15, 16));
    EXPECT_EQ(model.voxels[2].color, glm::vec4(17, 18, 19, 0));
    EXPECT_EQ(model.voxels[2].position, glm::vec4(0, 0, 0, 0));
    EXPECT_EQ(model.voxels[2].orientation, glm::vec4(0, 0, 0, 1));
}

TEST_F(VoxelModelFiles, HostileCountIsBoundedByTheFileSize) {
    const fs::path path = dir / "hostile.vxm";
    WriteBytes(path, Encode(0xFFFFFFFFu, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    VoxelModel model;
    testing::internal::CaptureStderr();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(model.LoadFromFile(path.string()));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const std::string report = testing::internal::GetCapturedStderr();
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
    EXPECT_NE(report.find("4294967295"), std::string::npos) << report;
    ASSERT_EQ(model.voxels.size(), 2u);
    EXPECT_LT(model.voxels.capacity(), 1000u);
    EXPECT_EQ(model.voxels[1].color, glm::vec4(9, 0, 0, 0));
}

TEST_F(VoxelModelFiles, UnreadableFilesLeaveTheModelUnchanged) {
    VoxelModel model;
    model.voxels = {Voxel({1, 2, 3, 4}, {5, 6, 7, 8})};
    EXPECT_FALSE(model.LoadFromFile((dir / "missing.vxm").string()));
    WriteBytes(dir / "tiny.vxm", {1, 0});
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.LoadFromFile((dir / "tiny.vxm").string()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("tiny.vxm"), std::string::npos);
    ASSERT_EQ(model.voxels.size(), 1u);
    EXPECT_EQ(model.voxels[0].color, glm::vec4(1, 2, 3, 4));
}

TEST_F(VoxelModelFiles, FailedSaveReportsAndLeavesNoFiles) {
    VoxelModel model;
    model.voxels.resize(3);
    const fs::path path = dir / "no-such-folder" / "m.vxm";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.SaveToFile(path.string()));
    EXPECT_NE(testing::internal::GetCapturedStderr().find(path.string()), std::string::npos);
    EXPECT_FALSE(fs::exists(path.parent_path()));
    EXPECT_TRUE(fs::is_empty(dir));
}

TEST_F(VoxelModelFiles, FailedRenameKeepsTheTargetAndRemovesTheTemporary) {
    // A directory in the target's place: writing the temporary succeeds, the rename fails.
    fs::create_directories(dir / "m.vxm" / "inside");
    VoxelModel model;
    model.voxels.resize(3);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.SaveToFile((dir / "m.vxm").string()));
    testing::internal::GetCapturedStderr();
    EXPECT_TRUE(fs::is_directory(dir / "m.vxm" / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(VoxelModelFiles, WriteFailingHalfWayKeepsThePreviousFile) {
    const fs::path path = dir / "m.vxm";
    VoxelModel previous;
    previous.voxels = {Voxel({1, 1, 1, 1}, {1, 2, 3, 1})};
    ASSERT_TRUE(previous.SaveToFile(path.string()));
    const auto before = ReadBytes(path);

    // Cap the size of files this process may write so the 324-byte save stops part way.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit capped = saved;
    capped.rlim_cur = 100;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
    VoxelModel bigger;
    bigger.voxels.resize(10);
    testing::internal::CaptureStderr();
    const bool savedOk = bigger.SaveToFile(path.string());
    const std::string report = testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(savedOk);
    EXPECT_NE(report.find(path.string()), std::string::npos) << report;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST(VoxelModel, RandomizeSaturationKeepsHueAndSaturation) {
    VoxelModel model;
    model.voxels.resize(50);
    model.voxels[0].color = glm::vec4(0.1f, 0.2f, 0.3f, 0.2f);

    model.RandomizeSaturation({1.0f, 0.0f, 0.0f}, 128, 128);
    for (const VoxelInstance& v : model.voxels)
        EXPECT_EQ(v.color, glm::vec4(128 * 0.003921569f, 0, 0, 1));

    model.RandomizeSaturation({0.5f, 0.5f, 0.5f}, 10, 10); // grey: S = 0
    for (const VoxelInstance& v : model.voxels)
        EXPECT_EQ(v.color, glm::vec4(glm::vec3(10 * 0.003921569f), 1));

    // Orange (H = 30, S = 0.5): brightness varies within [min, max) / 255, ratios stay.
    std::srand(7);
    model.RandomizeSaturation({1.0f, 0.75f, 0.5f}, 50, 200);
    bool varied = false;
    for (const VoxelInstance& v : model.voxels) {
        EXPECT_GE(v.color.r, 50 * 0.003921569f - 1e-6f);
        EXPECT_LE(v.color.r, 199 * 0.003921569f + 1e-6f);
        EXPECT_NEAR(v.color.g / v.color.r, 0.75f, 1e-5f);
        EXPECT_NEAR(v.color.b / v.color.r, 0.5f, 1e-5f);
        EXPECT_EQ(v.color.a, 1.0f);
        varied |= v.color.r != model.voxels[0].color.r;
    }
    EXPECT_TRUE(varied);
}

TEST(VoxelModel, RandomizeSaturationFollowsTheRandFormula) {
    // k = min + trunc(draw * (max - min) / 32768), one rand() per voxel in order, the draw
    // taken in 0 ... 32767.
    VoxelModel model;
    model.voxels.resize(20);
    std::srand(42);
    std::vector<int> draws;
    for (int i = 0; i < 20; ++i)
        draws.push_back(std::rand() % 32768);
    std::srand(42);
    model.RandomizeSaturation({0.0f, 0.0f, 1.0f}, 20, 240);
    for (int i = 0; i < 20; ++i) {
        const long long k = 20 + static_cast<long long>(draws[i]) * 220 / 32768;
        EXPECT_EQ(model.voxels[i].color, glm::vec4(0, 0, float(k) * 0.003921569f, 1)) << i;
    }
}

TEST(VoxelModel, HalfExtents) {
    VoxelModel model;
    const float largest = 3.4028235e38f;
    EXPECT_EQ(model.GetHalfExtents(), glm::vec3(-largest));

    model.voxels.resize(2);
    model.voxels[0].position = glm::vec4(0, 5, -1, 1);
    model.voxels[1].position = glm::vec4(3, 5, 2, 1);
    EXPECT_EQ(model.GetHalfExtents(), glm::vec3(2.0f, 0.5f, 2.0f));
}
