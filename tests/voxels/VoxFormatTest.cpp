// .vox files built byte by byte: what the reader makes of them and what the writer
// produces.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <glm/common.hpp>
#include <gtest/gtest.h>

#include "voxels/VoxFormat.h"
#include "voxels/VoxelModel.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes U32s(std::initializer_list<std::uint32_t> values) {
    Bytes out;
    for (std::uint32_t v : values)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return out;
}
Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}
Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}
Bytes String(const std::string& text) {
    return Join({U32s({std::uint32_t(text.size())}), Text(text)});
}
Bytes Chunk(const std::string& id, const Bytes& content, const Bytes& children = {}) {
    return Join({Text(id), U32s({std::uint32_t(content.size()), std::uint32_t(children.size())}),
                 content, children});
}
Bytes File(const Bytes& mainChildren) {
    return Join({Text("VOX "), U32s({150}), Chunk("MAIN", {}, mainChildren)});
}
Bytes Model(std::uint32_t sx, std::uint32_t sy, std::uint32_t sz, const Bytes& voxels) {
    return Join({Chunk("SIZE", U32s({sx, sy, sz})),
                 Chunk("XYZI", Join({U32s({std::uint32_t(voxels.size() / 4)}), voxels}))});
}
// A transform node with one frame; `frame` holds the frame's key-value pairs.
Bytes Transform(std::uint32_t id, std::uint32_t child,
                const std::vector<std::pair<std::string, std::string>>& frame) {
    Bytes pairs = U32s({std::uint32_t(frame.size())});
    for (const auto& [key, value] : frame)
        pairs = Join({pairs, String(key), String(value)});
    return Chunk("nTRN", Join({U32s({id, 0, child, 0xffffffffu, 0, 1}), pairs}));
}

std::vector<VoxelInstance> Read(const Bytes& file, std::string* problem = nullptr) {
    std::vector<VoxelInstance> voxels;
    std::string why;
    EXPECT_EQ(ReadVox(file.data(), file.size(), voxels, why), problem == nullptr) << why;
    if (problem)
        *problem = why;
    return voxels;
}

} // namespace

TEST(VoxFormat, ModelsArePlacedByAxesPaletteAndSceneGraphPastUnknownChunks) {
    // x 1 wide, y 2 deep, z (up) 3 high; colour index 0 is empty space.
    const Bytes file = File(
        Join({Model(1, 2, 3, {0, 0, 0, 1, 0, 1, 2, 255, 0, 0, 1, 0}), Chunk("PACK", U32s({1}))}));
    std::vector<VoxelInstance> voxels = Read(file);
    ASSERT_EQ(voxels.size(), 2u);
    EXPECT_EQ(voxels[0].color, glm::vec4(1, 1, 1, 1));
    EXPECT_EQ(voxels[1].color, glm::vec4(0x11, 0x11, 0x11, 0xff) / 255.0f);
    // File z becomes our y (lowest layer at 0), file y our -z, centred on whole numbers.
    EXPECT_EQ(glm::vec3(voxels[0].position), glm::vec3(0, 0, 1));
    EXPECT_EQ(glm::vec3(voxels[1].position), glm::vec3(0, 2, 0));

    // A scene graph places several models past unknown chunks. Indices 1 to 3: red, green
    // and half see-through blue.
    Bytes palette = U32s({0xff0000ffu, 0xff00ff00u, 0x80ff0000u});
    palette.resize(1024, 0);
    const Bytes group = Chunk("nGRP", Join({U32s({1, 0, 2, 2, 4})}));
    const Bytes shape0 = Chunk("nSHP", U32s({3, 0, 1, 0, 0}));
    const Bytes shape1 = Chunk("nSHP", U32s({5, 0, 1, 1, 0}));
    const Bytes scene = File(Join({
        Chunk("PACK", U32s({2})),
        Model(2, 2, 2, {0, 0, 0, 1, 1, 1, 1, 2}),
        Chunk("ZZZZ", {1, 2, 3, 4, 5}, Chunk("CHLD", {9})), // skipped with its child
        Model(1, 1, 3, {0, 0, 2, 3}),
        Transform(0, 1, {}),
        group,
        // Model 0 turned a quarter about the up axis (row 0 takes -y, row 1 takes x).
        Transform(2, 3, {{"_t", "10 0 0"}, {"_r", "17"}}),
        shape0,
        Transform(4, 5, {{"_t", "0 0 5"}}),
        shape1,
        Chunk("RGBA", palette),
        Chunk("MATL", U32s({1, 0})),
    }));
    voxels = Read(scene);
    ASSERT_EQ(voxels.size(), 3u);
    EXPECT_EQ(glm::vec3(voxels[0].position), glm::vec3(5, 0, 1));
    EXPECT_EQ(glm::vec3(voxels[1].position), glm::vec3(4, 1, 0));
    EXPECT_EQ(glm::vec3(voxels[2].position), glm::vec3(-5, 7, 0));
    EXPECT_EQ(voxels[0].color, glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(voxels[1].color, glm::vec4(0, 1, 0, 1));
    EXPECT_EQ(voxels[2].color, glm::vec4(0, 0, 1, 128 / 255.0f));

    // Hidden nodes show nothing; a graph naming a node the file lacks is refused.
    const Bytes hidden = File(Join(
        {Model(1, 1, 1, {0, 0, 0, 1}),
         Chunk("nTRN", Join({U32s({0, 1}), String("_hidden"), String("1"), U32s({1, 0, 0, 0})})),
         Chunk("nSHP", U32s({1, 0, 1, 0, 0}))}));
    EXPECT_TRUE(Read(hidden).empty());
    std::string problem;
    Read(File(Join({Model(1, 1, 1, {0, 0, 0, 1}), Transform(0, 7, {})})), &problem);
    EXPECT_NE(problem.find("node 7"), std::string::npos) << problem;
}

TEST(VoxFormat, BrokenFilesAreRefusedWithWhereAndWhyAndLeaveTheModelAlone) {
    const Bytes good = File(Join({Model(2, 2, 2, {0, 0, 0, 1, 1, 1, 1, 2})}));
    struct Case {
        Bytes file;
        const char* says;
    };
    Bytes cut(good.begin(), good.end() - 3);
    Bytes overCount = good;
    overCount[20 + 24 + 12] = 3; // XYZI announces 3 voxels in room for 2
    Bytes overChunk = good;
    overChunk[20 + 24 + 4] = 200; // XYZI claims more bytes than MAIN holds
    const std::vector<Case> cases = {
        {cut, "MAIN chunk at byte 8 claims"},
        {overCount, "announces 3 voxels but holds room for 2"},
        {overChunk, "chunk 'XYZI' at byte 44 claims 200"},
        {Bytes(good.begin(), good.begin() + 6), "too short"},
        {File(Chunk("XYZI", U32s({0}))), "no SIZE chunk before it"},
        {File(Model(2, 0x8000002, 3, {})), "gives 2 x 134217730 x 3; each side must be 1 to 256"},
        {File(Join({Model(1, 1, 1, {}), Chunk("RGBA", U32s({1}))})), "RGBA chunk at byte"},
        {File(Join({Model(1, 1, 1, {}), Chunk("nGRP", U32s({0, 0, 1000}))})), "cut off inside"},
    };
    for (const Case& c : cases) {
        std::string problem;
        Read(c.file, &problem);
        EXPECT_NE(problem.find(c.says), std::string::npos) << c.says << " / " << problem;
    }

    // Through the model: the report names the file, and the voxels stay.
    const auto path = std::filesystem::temp_directory_path() /
                      ("marrowvale-vox-" + std::to_string(::getpid()) + ".vox");
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(cut.data()), std::streamsize(cut.size()));
    VoxelModel model;
    model.AddVoxel({1, 2, 3}, {1, 1, 1, 1});
    testing::internal::CaptureStderr();
    EXPECT_FALSE(model.LoadFromFile(path.string()));
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find(path.string() + ": the MAIN chunk"), std::string::npos) << said;
    EXPECT_EQ(model.GetVoxelCount(), 1u);
    std::filesystem::remove(path);
}

TEST(VoxFormat, WriterLimitsSizeSharesCellsAndMapsExtraColoursToTheNearest) {
    // 255 greys used twice each, then 45 slight tints used once: the greys fill the
    // palette and each tint (k, k, k + 1) takes its nearest grey, k.
    std::vector<VoxelInstance> voxels(300);
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        voxels[i].position = {float(i % 20), float(i / 20), 0.4f, 1.0f};
        const float k = float(i < 255 ? i : i - 255) / 255.0f;
        voxels[i].color = {k, k, i < 255 ? k : k + 1.0f / 255.0f, 1.0f};
    }
    for (std::size_t i = 0; i < 255; ++i) {
        voxels.push_back(voxels[i]);
        voxels.back().position.x += 100.0f;
    }
    Bytes bytes;
    std::string problem;
    ASSERT_TRUE(WriteVox(voxels, bytes, problem)) << problem;
    std::vector<VoxelInstance> back;
    ASSERT_TRUE(ReadVox(bytes.data(), bytes.size(), back, problem)) << problem;
    ASSERT_EQ(back.size(), voxels.size());
    auto cell = [&](std::size_t i) { return glm::round(glm::vec3(voxels[i].position)); };
    const glm::vec3 shift = glm::vec3(back[0].position) - cell(0); // re-centred as a whole
    for (std::size_t i = 0; i < back.size(); ++i) {
        ASSERT_EQ(back[i].color, glm::vec4(glm::vec3(voxels[i].color.r), 1.0f)) << i;
        ASSERT_EQ(glm::vec3(back[i].position) - shift, cell(i)) << i;
    }

    // Two voxels in one cell: one voxel, the later colour.
    std::vector<VoxelInstance> pair(2);
    pair[0].color = {1, 0, 0, 1};
    pair[1].color = {0, 1, 0, 1};
    pair[1].position.x = 0.3f;
    ASSERT_TRUE(WriteVox(pair, bytes, problem));
    ASSERT_TRUE(ReadVox(bytes.data(), bytes.size(), back, problem));
    ASSERT_EQ(back.size(), 1u);
    EXPECT_EQ(back[0].color, pair[1].color);

    voxels[5].position.x = 356.0f; // 357 cells wide
    EXPECT_FALSE(WriteVox(voxels, bytes, problem));
    EXPECT_NE(problem.find("spans 357 x 15 x 1 voxels"), std::string::npos) << problem;
    voxels[5].position.x = NAN;
    EXPECT_FALSE(WriteVox(voxels, bytes, problem));
    EXPECT_NE(problem.find("voxel 5"), std::string::npos) << problem;
}
