#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <glm/geometric.hpp>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

std::uint32_t Bits(float f) {
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return bits;
}

// A count, then the floats, all little-endian.
Bytes Encode(std::uint32_t count, const std::vector<float>& floats) {
    Bytes bytes;
    auto put = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
    };
    put(count);
    for (float f : floats)
        put(Bits(f));
    return bytes;
}

class VoxelModelFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::remove_all(dir); // left by an earlier process with this id
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    Bytes Read(const std::string& name) {
        std::ifstream in(dir / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::string Write(const std::string& name, const Bytes& bytes) {
        std::ofstream(dir / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return (dir / name).string();
    }
    long FilesInDir() {
        return std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    }

    const fs::path dir = fs::temp_directory_path() / ("vxmtest-" + std::to_string(::getpid()));
    SaveFolderScope writable{dir};
};

} // namespace

// Byte for byte the format is checked by replaying the fuzz corpus (odd floats, cut
// records, huge counts, tiny files); here what the corpus cannot see.
TEST_F(VoxelModelFiles, PathsReportsAllocationAndFailedSavesKeepWhatWasThere) {
    VoxelModel model;
    model.voxels.resize(10); // 324 bytes
    // A backslash path, as scripts write them, lands in the folder; no temporary file stays.
    ASSERT_TRUE(model.SaveToFile(dir.string() + "\\m.vxm"));
    EXPECT_EQ(Read("m.vxm").size(), 324u);
    EXPECT_EQ(FilesInDir(), 1);

    // Announces 5, holds 2 whole records and 12 bytes of a third: loaded, and said so.
    std::vector<float> floats;
    for (int i = 1; i <= 19; ++i)
        floats.push_back(float(i));
    const std::string truncated = Write("short.vxm", Encode(5, floats));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.LoadFromFile(truncated));
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find(truncated), std::string::npos) << report;
    EXPECT_NE(report.find("announces 5 voxels but holds data for 2"), std::string::npos) << report;
    EXPECT_EQ(model.voxels.size(), 3u);

    // A hostile count must not be allocated for.
    const std::string hostile =
        Write("hostile.vxm", Encode(0xFFFFFFFFu, {1, 2, 3, 4, 5, 6, 7, 8, 9}));
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.LoadFromFile(hostile));
    report = testing::internal::GetCapturedStderr();
    EXPECT_NE(report.find("4294967295"), std::string::npos) << report;
    EXPECT_EQ(model.voxels.size(), 2u);
    EXPECT_LT(model.voxels.capacity(), 100u);
    EXPECT_FALSE(model.LoadFromFile((dir / "missing.vxm").string()));
    EXPECT_EQ(model.voxels.size(), 2u);

    // A save into a missing folder, and one that stops part way (the size of files this
    // process may write is capped), report and keep the previous file.
    model.voxels.resize(10);
    const std::string inMissingFolder = (dir / "nowhere" / "m.vxm").string();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.SaveToFile(inMissingFolder));
    EXPECT_NE(testing::internal::GetCapturedStderr().find(inMissingFolder), std::string::npos);
    const std::string target = Write("m.vxm", Encode(0, {}));
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit capped = saved;
    capped.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &capped), 0);
    testing::internal::CaptureStderr();
    const bool savedOk = model.SaveToFile(target);
    testing::internal::GetCapturedStderr();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(savedOk);
    EXPECT_EQ(Read("m.vxm"), Bytes(4, 0));
    EXPECT_EQ(FilesInDir(), 3) << "m.vxm, short.vxm, hostile.vxm and no temporary file";
}

TEST(VoxelModel, RandomizeSaturationKeepsHueAndSaturationWithOneDrawPerVoxel) {
    // k = min + trunc(draw * (max - min) / 32768), one draw in 0 ... 32767 per voxel; the
    // hue and saturation of orange (30 degrees, 0.5) are kept.
    VoxelModel model;
    model.voxels.resize(20);
    std::srand(42);
    std::vector<int> draws;
    for (int i = 0; i < 20; ++i)
        draws.push_back(std::rand() % 32768);
    std::srand(42);
    model.RandomizeSaturation({1.0f, 0.75f, 0.5f}, 20, 240);
    for (int i = 0; i < 20; ++i) {
        const float value = float(20 + draws[i] * 220LL / 32768) * 0.003921569f;
        const glm::vec4 expected(value, value * 0.75f, value * 0.5f, 1.0f);
        EXPECT_LT(glm::distance(model.voxels[i].color, expected), 1e-6f) << i;
    }
}

// A filled model's extents are checked from scripts, with an offset that must not count.
TEST(VoxelModelComponent, EmptyOrMissingModelHasNoExtentsAndAttachResetsOnlyPlacement) {
    EXPECT_EQ(VoxelModel().GetHalfExtents(), glm::vec3(-3.4028235e38f));
    EXPECT_EQ(VoxelModelComponent().GetHalfExtents(), glm::vec3(-3.4028235e38f));

    ObjectManager om;
    const GameObject obj = om.NewObject();
    VoxelModel model;
    VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(obj);
    component->model = &model;
    component->alpha = 0.5f;
    component->oriented = true;
    component->visible = false;
    component->originOffset = {1, 2, 3};
    ObjectManager::RemoveComponent<VoxelModelComponent>(obj);
    EXPECT_TRUE(component->visible);
    EXPECT_EQ(component->originOffset, glm::vec3(0));
    EXPECT_TRUE(component->oriented);
    component->visible = false;
    ObjectManager::AddComponent<VoxelModelComponent>(obj);
    EXPECT_TRUE(component->visible && !component->oriented);
    EXPECT_EQ(component->model, &model);
    EXPECT_EQ(component->alpha, 0.5f);
}
