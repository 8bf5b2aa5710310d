// Voxel models written as meshes and read back the way another program would: through
// Assimp's importers and the Khronos glTF validator, never through the exporter's own
// data.

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include <assimp/GltfMaterial.h>
#include <assimp/Importer.hpp>
#include <assimp/material.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include "base/Path.h"
#include "script/ScriptTestSupport.h"
#include "voxels/MeshExport.h"
#include "voxels/VoxelModel.h"

namespace {

namespace fs = std::filesystem;

using Rgba = std::array<int, 4>; // channels as bytes, the precision every format keeps

// What an importer finds in a file.
struct Mesh {
    std::size_t faces = 0;
    std::map<unsigned, std::size_t> facesBySize; // corners -> faces
    std::map<Rgba, std::size_t> facesByColor;    // of each face's first corner
    glm::vec3 low{std::numeric_limits<float>::max()};
    glm::vec3 high{-std::numeric_limits<float>::max()};
    double area = 0.0;
    // Every face turns counter-clockwise around the normals stored at its corners, and
    // its corners share one colour.
    bool outward = true;
    bool uniformFaces = true;
    std::string alphaMode;
};

Mesh Import(const fs::path& file) {
    Mesh result;
    Assimp::Importer importer;
    // Validation turns a file whose indices point past its vertices into a failed read.
    const aiScene* scene = importer.ReadFile(file.string(), aiProcess_ValidateDataStructure);
    EXPECT_NE(scene, nullptr) << file << ": " << importer.GetErrorString();
    if (scene == nullptr)
        return result;
    aiString mode;
    if (scene->mNumMaterials > 0 &&
        scene->mMaterials[0]->Get(AI_MATKEY_GLTF_ALPHAMODE, mode) == aiReturn_SUCCESS)
        result.alphaMode = mode.C_Str();
    for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
        const aiMesh* mesh = scene->mMeshes[m];
        EXPECT_TRUE(mesh->HasNormals()) << file;
        EXPECT_TRUE(mesh->HasVertexColors(0)) << file;
        if (!mesh->HasNormals() || !mesh->HasVertexColors(0))
            continue;
        auto at = [&](unsigned i) {
            return glm::vec3(mesh->mVertices[i].x, mesh->mVertices[i].y, mesh->mVertices[i].z);
        };
        auto rgba = [&](unsigned i) {
            const aiColor4D& c = mesh->mColors[0][i];
            return Rgba{int(std::lround(c.r * 255)), int(std::lround(c.g * 255)),
                        int(std::lround(c.b * 255)), int(std::lround(c.a * 255))};
        };
        for (unsigned v = 0; v < mesh->mNumVertices; ++v) {
            result.low = glm::min(result.low, at(v));
            result.high = glm::max(result.high, at(v));
        }
        for (unsigned f = 0; f < mesh->mNumFaces; ++f) {
            const aiFace& face = mesh->mFaces[f];
            ++result.faces;
            ++result.facesBySize[face.mNumIndices];
            const unsigned* index = face.mIndices;
            ++result.facesByColor[rgba(index[0])];
            const glm::vec3 normal(mesh->mNormals[index[0]].x, mesh->mNormals[index[0]].y,
                                   mesh->mNormals[index[0]].z);
            for (unsigned k = 1; k + 1 < face.mNumIndices; ++k) {
                const glm::vec3 turn =
                    glm::cross(at(index[k]) - at(index[0]), at(index[k + 1]) - at(index[0]));
                result.area += 0.5 * glm::length(turn);
                result.outward = result.outward && glm::dot(turn, normal) > 0.0f;
            }
            for (unsigned k = 1; k < face.mNumIndices; ++k)
                result.uniformFaces = result.uniformFaces && rgba(index[k]) == rgba(index[0]);
        }
    }
    return result;
}

Rgba Bytes(const glm::vec4& color) {
    return {int(std::lround(color.r * 255)), int(std::lround(color.g * 255)),
            int(std::lround(color.b * 255)), int(std::lround(color.a * 255))};
}

// Channels in fifths: PLY stores bytes by truncation, and these survive it exactly.
const glm::vec4 kBlue(0.2f, 0.4f, 0.6f, 1.0f);
const glm::vec4 kOrange(1.0f, 0.6f, 0.0f, 1.0f);
const glm::vec4 kGlass(0.8f, 0.8f, 1.0f, 0.4f);

VoxelModel Block(int size, glm::vec4 even, glm::vec4 odd, glm::vec3 offset = glm::vec3(0)) {
    VoxelModel model;
    for (int x = 0; x < size; ++x)
        for (int y = 0; y < size; ++y)
            for (int z = 0; z < size; ++z)
                model.AddVoxel(offset + glm::vec3(x, y, z), (x + y + z) % 2 ? odd : even);
    return model;
}

std::string Export(const VoxelModel& model, const fs::path& file) {
    std::string error;
    const bool ok = ExportMesh(model, file.string(), error);
    EXPECT_EQ(ok, error.empty()) << error;
    return ok ? std::string() : error;
}

// Rectangles of a .glb file: two triangles each.
std::size_t Rectangles(const VoxelModel& model, const fs::path& file) {
    EXPECT_EQ(Export(model, file), "");
    Mesh mesh = Import(file);
    EXPECT_EQ(mesh.facesBySize.size(), 1u) << file;
    EXPECT_EQ(mesh.facesBySize.count(3), 1u) << file;
    EXPECT_TRUE(mesh.outward) << file;
    return mesh.faces / 2;
}

class MeshExport : public ::testing::Test {
  protected:
    TempFolder folder;
    SaveFolderScope writable{folder.path};
    fs::path In(const std::string& name) const { return folder.path / name; }
};

} // namespace

TEST_F(MeshExport, FacesKeepTheirColoursBadInputIsRefusedAndFilesPassTheKhronosValidator) {
    const VoxelModel block = Block(3, kBlue, kBlue, glm::vec3(-1, -1, -1));
    // The extension picks the format in any case. glTF holds triangles, the others the
    // rectangles themselves.
    for (const char* name : {"block.GLB", "block.obj", "block.Ply"}) {
        ASSERT_EQ(Export(block, In(name)), "");
        Mesh mesh = Import(In(name));
        const bool gltf = name[6] == 'G';
        EXPECT_EQ(mesh.faces, gltf ? 12u : 6u) << name;
        EXPECT_EQ(mesh.facesBySize[gltf ? 3 : 4], mesh.faces) << name;
        // The cubes as the renderer draws them: unit cubes centred on the positions.
        EXPECT_EQ(mesh.low, glm::vec3(-1.5f)) << name;
        EXPECT_EQ(mesh.high, glm::vec3(1.5f)) << name;
        EXPECT_DOUBLE_EQ(mesh.area, 54.0) << name;
        EXPECT_TRUE(mesh.outward) << name;
        EXPECT_TRUE(mesh.uniformFaces) << name;
        EXPECT_EQ(mesh.facesByColor.size(), 1u) << name;
        EXPECT_EQ(mesh.facesByColor.begin()->first, Bytes(kBlue)) << name;
        EXPECT_NE(mesh.alphaMode, "BLEND") << name << ": an opaque model is not blended";
    }
    // OBJ's colours sit on its vertex lines; its material file is beside it.
    EXPECT_TRUE(fs::is_regular_file(In("block.mtl")));
    std::ifstream obj(In("block.obj"));
    const std::string text((std::istreambuf_iterator<char>(obj)), {});
    EXPECT_NE(text.find("mtllib block.mtl"), std::string::npos);
    EXPECT_NE(text.find("\nv -1.5 -1.5 -1.5 0.2"), std::string::npos) << text;

    // A checkerboard keeps every face in its own colour.
    const VoxelModel board = Block(3, kBlue, kOrange);
    for (const char* name : {"board.glb", "board.obj", "board.ply"}) {
        ASSERT_EQ(Export(board, In(name)), "");
        Mesh mesh = Import(In(name));
        const std::size_t perFace = name[6] == 'g' ? 2 : 1;
        // Nine cells on each of six sides, none merged; every side shows five cells of
        // the corners' colour and four of the other.
        EXPECT_EQ(mesh.faces, 54 * perFace) << name;
        EXPECT_EQ(mesh.facesByColor[Bytes(kBlue)], 30 * perFace) << name;
        EXPECT_EQ(mesh.facesByColor[Bytes(kOrange)], 24 * perFace) << name;
        EXPECT_DOUBLE_EQ(mesh.area, 54.0) << name;
        EXPECT_TRUE(mesh.outward && mesh.uniformFaces) << name;
        EXPECT_EQ(mesh.low, glm::vec3(-0.5f)) << name;
        EXPECT_EQ(mesh.high, glm::vec3(2.5f)) << name;
    }

    // Hidden faces, merging, see-through voxels and odd positions.
    auto model = [](std::initializer_list<std::pair<glm::vec3, glm::vec4>> voxels) {
        VoxelModel m;
        for (const auto& [position, color] : voxels)
            m.AddVoxel(position, color);
        return m;
    };
    const glm::vec3 o(0, 0, 0), x(1, 0, 0);
    // The face between two voxels is gone; of one colour, the pair is a box of six.
    EXPECT_EQ(Rectangles(model({{o, kBlue}, {x, kBlue}}), In("pair.glb")), 6u);
    EXPECT_EQ(Rectangles(model({{o, kBlue}, {x, kOrange}}), In("two.glb")), 10u);
    // Glass hides nothing of the opaque voxel behind it (six and five)...
    const VoxelModel window = model({{o, kBlue}, {x, kGlass}});
    EXPECT_EQ(Rectangles(window, In("window.glb")), 11u);
    Mesh glass = Import(In("window.glb"));
    EXPECT_EQ(glass.facesByColor[Bytes(kGlass)], 10u) << "alpha is kept";
    EXPECT_EQ(glass.alphaMode, "BLEND");
    ASSERT_EQ(Export(window, In("window.ply")), "");
    EXPECT_EQ(Import(In("window.ply")).facesByColor[Bytes(kGlass)], 5u);
    // ...but two panes side by side are one pane.
    EXPECT_EQ(Rectangles(model({{o, kGlass}, {x, kGlass}}), In("panes.glb")), 6u);

    // A ring: runs of different widths do not stack, so top and bottom take four each,
    // around four outer sides and four inner ones.
    VoxelModel ring;
    for (int cx = 0; cx < 3; ++cx)
        for (int cz = 0; cz < 3; ++cz)
            if (cx != 1 || cz != 1)
                ring.AddVoxel(glm::vec3(cx, 0, cz), kOrange);
    EXPECT_EQ(Rectangles(ring, In("ring.glb")), 16u);
    EXPECT_DOUBLE_EQ(Import(In("ring.glb")).area, 8 * 2 + 12 + 4);

    // Positions round to their cell; a later voxel in a cell replaces an earlier one;
    // colours clamp to what the formats hold.
    const VoxelModel odd = model({{{2.6f, -1.4f, 0.49f}, kBlue},
                                  {{3.3f, -0.6f, -0.2f}, kOrange},
                                  {{-5, 0, 0}, {2.0f, -1.0f, std::nanf(""), 1.0f}}});
    EXPECT_EQ(Rectangles(odd, In("odd.glb")), 12u);
    Mesh rounded = Import(In("odd.glb"));
    EXPECT_EQ(rounded.low, glm::vec3(-5.5f, -1.5f, -0.5f));
    EXPECT_EQ(rounded.high, glm::vec3(3.5f, 0.5f, 0.5f));
    EXPECT_EQ(rounded.facesByColor.size(), 2u);
    EXPECT_EQ(rounded.facesByColor[Bytes(kOrange)], 12u);
    EXPECT_EQ(rounded.facesByColor[(Rgba{255, 0, 0, 255})], 12u);

    // Bad models and hostile paths are refused with their reasons.
    const VoxelModel cube = Block(1, kBlue, kBlue);
    auto refused = [&](const VoxelModel& model, const std::string& path,
                       std::initializer_list<const char*> parts) {
        std::string error;
        EXPECT_FALSE(ExportMesh(model, path, error)) << path;
        EXPECT_NE(error.find("Cannot export a mesh to " + (path.empty() ? "\"\"" : path)),
                  std::string::npos)
            << error;
        for (const char* part : parts)
            EXPECT_NE(error.find(part), std::string::npos) << error;
    };
    refused(cube, "", {"no file name given"});
    refused(cube, folder.path.string(), {"it is a folder"});
    refused(cube, In("gone/a.glb").string(), {"its folder", "gone does not exist"});
    refused(cube, In("a.fbx").string(), {"unknown mesh format \".fbx\"", ".glb, .obj or .ply"});
    refused(cube, In("a").string(), {"no extension"});
    refused(VoxelModel(), In("a.glb").string(), {"the model has no voxels"});
    VoxelModel nan = cube;
    nan.AddVoxel({0, std::nanf(""), 0}, kBlue);
    refused(nan, In("a.glb").string(), {"voxel 1 is at (0, nan, 0)", "not a number"});
    VoxelModel far = cube;
    far.AddVoxel({0, 0, -2e6f}, kBlue);
    refused(far, In("a.ply").string(), {"voxel 1 is at (0, 0, -2e+06)", "more than 1000000"});

    // Nothing outside the game's folders is opened: /dev/null stays a device. Inside them a
    // FIFO is not opened either, so it does not block.
    refused(cube, "/dev/null", {"it lies outside the folders a game may write in"});
    struct stat null;
    ASSERT_EQ(::stat("/dev/null", &null), 0);
    EXPECT_TRUE(S_ISCHR(null.st_mode));
    ASSERT_EQ(::mkfifo(In("pipe.glb").c_str(), 0600), 0);
    refused(cube, In("pipe.glb").string(), {"not a regular file"});

    // A folder that cannot be written. Root writes anywhere chmod allows nothing, so
    // there it is a read-only system folder, made the save folder for the while.
    const fs::path locked = In("locked");
    fs::create_directory(locked);
    fs::permissions(locked, fs::perms::owner_read | fs::perms::owner_exec);
    {
        const bool root = ::geteuid() == 0;
        const SaveFolderScope readOnly(root ? fs::path("/sys") : folder.path);
        refused(cube, ((root ? fs::path("/sys") : locked) / "a.glb").string(),
                {"cannot create a file in its folder"});
    }
    fs::permissions(locked, fs::perms::owner_all);

    // A failed export leaves the previous file alone; a good one replaces it. OBJ writes
    // two files, and when one cannot be written neither is.
    std::ofstream(In("keep.glb")) << "previous";
    refused(nan, In("keep.glb").string(), {"not a number"});
    EXPECT_EQ(fs::file_size(In("keep.glb")), 8u);
    EXPECT_EQ(Export(cube, In("keep.glb")), "");
    EXPECT_GT(fs::file_size(In("keep.glb")), 8u);
    fs::create_directory(In("both.mtl"));
    refused(cube, In("both.obj").string(), {"both.mtl, which the export also writes"});
    EXPECT_FALSE(fs::exists(In("both.obj")));

    // Nothing half-written is left behind.
    for (const auto& entry : fs::directory_iterator(folder.path))
        EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();

    // What the exporter writes passes the Khronos validator.
    const fs::path tool = fs::path(MARROWVALE_SOURCE_DIR) / "tools/gltf-validate";
    if (std::system("node --version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "node is not installed (tools/setup.sh installs it)";
    if (!fs::exists(tool / "node_modules/gltf-validator"))
        GTEST_SKIP() << "the validator is not installed (tools/setup.sh runs npm ci in " << tool
                     << ")";

    VoxelModel mixed = Block(4, kGlass, kBlue, glm::vec3(-2, 0, -2));
    for (int i = 0; i < 40; ++i) // a scattered crown of odd colours, some see-through
        mixed.AddVoxel(glm::vec3(i % 7 - 3, 4 + i % 3, i / 7 - 3),
                       glm::vec4(float(i % 5) / 4, float(i % 3) / 2, 0.5f, i % 4 ? 1.0f : 0.3f));
    const std::pair<const char*, VoxelModel> models[] = {
        {"block.glb", Block(3, kBlue, kBlue)},
        {"board.glb", Block(3, kBlue, kOrange)},
        {"mixed.glb", mixed},
    };
    std::string files;
    for (const auto& [name, model] : models) {
        ASSERT_EQ(Export(model, In(name)), "");
        files += " '" + In(name).string() + "'";
    }
    // A broken copy shows that the run can fail.
    fs::copy_file(In("mixed.glb"), In("broken.glb"));
    fs::resize_file(In("broken.glb"), fs::file_size(In("broken.glb")) - 40);

    auto validate = [&](const std::string& arguments) {
        const fs::path report = In("report.txt");
        const std::string command = "node '" + (tool / "validate.mjs").string() + "' --strict" +
                                    arguments + " > '" + report.string() + "' 2>&1";
        const int status = std::system(command.c_str());
        std::ifstream in(report);
        std::stringstream text;
        text << in.rdbuf();
        return std::make_pair(status, text.str());
    };
    const auto [status, report] = validate(files);
    EXPECT_EQ(status, 0) << report;
    EXPECT_EQ(CountOf(report, ": 0 errors, 0 warnings"), 3u) << report;
    const auto [brokenStatus, brokenReport] = validate(" '" + In("broken.glb").string() + "'");
    EXPECT_NE(brokenStatus, 0) << brokenReport;
}

class MeshExportScript : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Eval("var dir = '" + folder.path.string() + "/';");
    }
    void TearDown() override { SetResourceFolder(""); }
    TempFolder folder;
    SaveFolderScope writable{folder.path};
};

TEST_F(MeshExportScript, ScriptsExportTheirModelsAndLearnOfFailures) {
    EXPECT_EQ(Eval("var m = new VoxelModel();"
                   "for (var i = 0; i < 3; ++i) m.AddVoxel([i, 0, 0], [0.2, 0.4, 0.6, 1]);"
                   "[m.ExportMesh(dir + 'row.glb'), m.ExportMesh(dir + 'row.OBJ')].join()"),
              "true,true");
    Mesh row = Import(folder.path / "row.glb");
    EXPECT_EQ(row.faces, 12u);
    EXPECT_EQ(row.high, glm::vec3(2.5f, 0.5f, 0.5f));
    EXPECT_TRUE(fs::exists(folder.path / "row.mtl"));

    // Game names ("../resource/...") land in the game's folder.
    SetResourceFolder(folder.path.string());
    EXPECT_EQ(Eval("m.ExportMesh('../resource/Scripts/row.ply')"), "true");
    EXPECT_EQ(Import(folder.path / "Scripts/row.ply").faces, 6u);

    // Failures return false and say why on standard error, as loading does.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("[m.ExportMesh(dir + 'row.stl'), m.ExportMesh(dir), "
                   " new VoxelModel().ExportMesh(dir + 'e.glb')].join()"),
              "false,false,false");
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("row.stl: unknown mesh format \".stl\""), std::string::npos) << said;
    EXPECT_NE(said.find(folder.path.string() + "/: it is a folder"), std::string::npos) << said;
    EXPECT_NE(said.find("e.glb: the model has no voxels"), std::string::npos) << said;
    // A name that is not a string is a script error, not a file.
    EXPECT_NE(ErrorOf("m.ExportMesh(42)").find("ExportMesh"), std::string::npos);
}
