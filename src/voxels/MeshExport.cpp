#include "voxels/MeshExport.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

#include <assimp/Exporter.hpp>
#include <assimp/GltfMaterial.h>
#include <assimp/IOStream.hpp>
#include <assimp/IOSystem.hpp>
#include <assimp/material.h>
#include <assimp/scene.h>

#include "base/AtomicFile.h"
#include "base/Path.h"
#include "base/WritableFolders.h"
#include "voxels/GreedyMesher.h"
#include "voxels/VoxelModel.h"

namespace {

namespace fs = std::filesystem;

struct Format {
    const char* extension;
    const char* exporter; // Assimp's id of the format
    bool triangles;       // glTF has no quads; the others keep the rectangles whole
    bool joined;          // the exporter joins vertices by position and normal alone
};
constexpr Format kFormats[] = {
    {".glb", "glb2", true, true},
    {".obj", "obj", false, false},
    // Text: Assimp 5.2's binary PLY writer stores colours as floats under a header that
    // declares bytes, which no reader can make sense of.
    {".ply", "ply", false, false},
};

using FileContents = std::map<std::string, std::vector<char>>;

// Assimp's exporters write through these, so every file they make (OBJ makes two) lands
// in memory first: nothing reaches the disk unless the whole export succeeded, and the
// files can then be put in place the way the engine saves its own.
class MemoryStream : public Assimp::IOStream {
  public:
    explicit MemoryStream(std::vector<char>& bytes) : bytes(bytes) {}

    size_t Read(void*, size_t, size_t) override { return 0; }
    size_t Write(const void* buffer, size_t size, size_t count) override {
        const size_t length = size * count;
        if (length == 0)
            return count;
        if (position + length > bytes.size())
            bytes.resize(position + length);
        std::memcpy(bytes.data() + position, buffer, length);
        position += length;
        return count;
    }
    // As on a disk, a seek may pass the end (the glTF writer skips its header and comes
    // back for it); a write there fills the gap with zeros. Offsets from the end are
    // negative, passed as unsigned.
    aiReturn Seek(size_t offset, aiOrigin origin) override {
        const size_t base = origin == aiOrigin_SET   ? 0
                            : origin == aiOrigin_CUR ? position
                                                     : bytes.size();
        position = base + offset;
        return aiReturn_SUCCESS;
    }
    size_t Tell() const override { return position; }
    size_t FileSize() const override { return bytes.size(); }
    void Flush() override {}

  private:
    std::vector<char>& bytes;
    size_t position = 0;
};

class MemoryFolder : public Assimp::IOSystem {
  public:
    // The exporter owns and deletes its IO system; the contents outlive it.
    explicit MemoryFolder(FileContents& files) : files(files) {}

    bool Exists(const char* name) const override { return files.count(name) != 0; }
    char getOsSeparator() const override { return '/'; }
    Assimp::IOStream* Open(const char* name, const char* mode) override {
        if (mode == nullptr || std::strchr(mode, 'w') == nullptr)
            return nullptr; // an exporter has nothing to read
        std::vector<char>& bytes = files[name];
        bytes.clear();
        return new MemoryStream(bytes);
    }
    void Close(Assimp::IOStream* file) override { delete file; }

  private:
    FileContents& files;
};

std::string Lowercase(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Why `target` cannot be written, or nothing. Anything there that is not a regular file
// is refused before it is opened: a FIFO blocks the opener, and renaming over a device
// would replace it.
std::string TargetProblem(const fs::path& target) {
    std::error_code error;
    const fs::file_status status = fs::status(target, error);
    if (status.type() == fs::file_type::directory)
        return "it is a folder";
    if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::regular)
        return error ? error.message() : "it is not a regular file (a device, FIFO or socket)";
    const fs::path folder = target.parent_path().empty() ? fs::path(".") : target.parent_path();
    const fs::file_status folderStatus = fs::status(folder, error);
    if (folderStatus.type() == fs::file_type::not_found)
        return "its folder " + folder.string() + " does not exist";
    if (folderStatus.type() != fs::file_type::directory)
        return error ? error.message() : folder.string() + " is not a folder";
    return {};
}

// Puts every file in place. All are written before the first is renamed, so only a
// failing rename within one folder, hardly ever seen, can leave some of them in place.
bool CommitFiles(const FileContents& files, const std::string& main, std::string& problem) {
    std::vector<AtomicFile> written;
    for (const auto& [name, bytes] : files) {
        const fs::path target(name);
        std::string why = TargetProblem(target);
        AtomicFile file;
        if (why.empty() && !file.Write(target, bytes.data(), bytes.size()))
            why = (file.IsCreated() ? "writing failed (" : "cannot create a file in its folder (") +
                  file.GetReason() + ")";
        if (!why.empty()) {
            problem = name == main ? why : name + ", which the export also writes: " + why;
            return false;
        }
        written.push_back(std::move(file));
    }
    for (AtomicFile& file : written)
        if (!file.Commit()) {
            problem =
                "cannot put " + file.GetTarget().string() + " in place (" + file.GetReason() + ")";
            return false;
        }
    return true;
}

// Which mesh each rectangle goes to, and how many meshes there are. Assimp's glTF
// writer always joins vertices that agree in position and normal, whatever their
// colours (5.2 compares no colours), so a corner that rectangles of two colours share
// would take one colour for both. Such rectangles go to different meshes; rectangles
// of one colour may share corners. Only corners matter: a T-junction puts a corner on
// another rectangle's edge, where that one has no vertex. Around a point of a plane at
// most four rectangles have a corner, so a rectangle meets at most twelve others and a
// handful of meshes always does; typical models need two to four.
std::vector<unsigned> SeparateColours(const std::vector<SurfaceQuad>& quads, unsigned& meshCount) {
    struct Corner {
        unsigned count = 0;
        std::array<std::uint32_t, 4> quad{};
    };
    std::unordered_map<std::uint64_t, Corner> corners;
    std::vector<unsigned> mesh(quads.size(), 0);
    meshCount = quads.empty() ? 0 : 1;
    auto key = [](std::int64_t u, std::int64_t v) {
        return std::uint64_t(std::uint32_t(u)) << 32 | std::uint32_t(v);
    };
    for (std::size_t q = 0; q < quads.size(); ++q) {
        const SurfaceQuad& quad = quads[q];
        // Quads come ordered by direction and plane: corners of other planes never meet.
        if (q > 0 && (quad.axis != quads[q - 1].axis || quad.positive != quads[q - 1].positive ||
                      quad.plane != quads[q - 1].plane))
            corners.clear();
        const std::uint64_t at[4] = {key(quad.low[0], quad.low[1]), key(quad.high[0], quad.low[1]),
                                     key(quad.high[0], quad.high[1]),
                                     key(quad.low[0], quad.high[1])};
        std::uint32_t taken = 0;
        for (const std::uint64_t point : at) {
            const auto found = corners.find(point);
            if (found == corners.end())
                continue;
            for (unsigned k = 0; k < found->second.count; ++k)
                if (quads[found->second.quad[k]].color != quad.color)
                    taken |= 1u << mesh[found->second.quad[k]];
        }
        unsigned chosen = 0;
        while (taken >> chosen & 1u)
            ++chosen;
        mesh[q] = chosen;
        meshCount = std::max(meshCount, chosen + 1);
        for (const std::uint64_t point : at) {
            Corner& corner = corners[point];
            if (corner.count < corner.quad.size())
                corner.quad[corner.count++] = std::uint32_t(q);
        }
    }
    return mesh;
}

aiMesh* NewMesh(std::size_t quads, bool triangles) {
    auto* mesh = new aiMesh;
    mesh->mName = aiString("voxels");
    mesh->mMaterialIndex = 0;
    mesh->mPrimitiveTypes = triangles ? aiPrimitiveType_TRIANGLE : aiPrimitiveType_POLYGON;
    mesh->mNumVertices = unsigned(4 * quads);
    mesh->mVertices = new aiVector3D[mesh->mNumVertices];
    mesh->mNormals = new aiVector3D[mesh->mNumVertices];
    mesh->mColors[0] = new aiColor4D[mesh->mNumVertices];
    mesh->mNumFaces = unsigned(quads * (triangles ? 2 : 1));
    mesh->mFaces = new aiFace[mesh->mNumFaces];
    return mesh;
}

void AddQuad(aiMesh* mesh, unsigned index, const SurfaceQuad& quad, bool triangles) {
    const std::array<glm::vec3, 4> corners = quad.Corners();
    const glm::vec3 normal = quad.Normal();
    const unsigned first = 4 * index;
    for (unsigned k = 0; k < 4; ++k) {
        mesh->mVertices[first + k] = aiVector3D(corners[k].x, corners[k].y, corners[k].z);
        mesh->mNormals[first + k] = aiVector3D(normal.x, normal.y, normal.z);
        mesh->mColors[0][first + k] =
            aiColor4D(quad.color.r, quad.color.g, quad.color.b, quad.color.a);
    }
    if (triangles) {
        for (unsigned t = 0; t < 2; ++t) {
            aiFace& face = mesh->mFaces[2 * index + t];
            face.mNumIndices = 3;
            face.mIndices = new unsigned[3]{first, first + 1 + t, first + 2 + t};
        }
    } else {
        aiFace& face = mesh->mFaces[index];
        face.mNumIndices = 4;
        face.mIndices = new unsigned[4]{first, first + 1, first + 2, first + 3};
    }
}

// One node showing the meshes, all with the one material. `joined` says the exporter
// will join vertices (glTF), so colours are kept apart in meshes of their own; the
// glTF writer makes the meshes of one node the primitives of one mesh.
std::unique_ptr<aiScene> BuildScene(const std::vector<SurfaceQuad>& quads, bool triangles,
                                    bool joined) {
    unsigned meshCount = 1;
    const std::vector<unsigned> meshOf =
        joined ? SeparateColours(quads, meshCount) : std::vector<unsigned>(quads.size(), 0);

    auto scene = std::make_unique<aiScene>();
    // Everything is owned by the scene the moment it is made: ~aiScene deletes the
    // arrays (new[]) and what they point at.
    scene->mRootNode = new aiNode("voxels");
    scene->mRootNode->mNumMeshes = meshCount;
    scene->mRootNode->mMeshes = new unsigned[meshCount];
    for (unsigned m = 0; m < meshCount; ++m)
        scene->mRootNode->mMeshes[m] = m;

    auto* material = new aiMaterial;
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial* [1] { material };
    const aiString name("voxels");
    material->AddProperty(&name, AI_MATKEY_NAME);
    const aiColor4D white(1.0f, 1.0f, 1.0f, 1.0f);
    material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
    material->AddProperty(&white, 1, AI_MATKEY_BASE_COLOR);
    // Painted cubes, not metal: the colours should read as they do in the engine.
    const float metallic = 0.0f, roughness = 1.0f;
    material->AddProperty(&metallic, 1, AI_MATKEY_METALLIC_FACTOR);
    material->AddProperty(&roughness, 1, AI_MATKEY_ROUGHNESS_FACTOR);
    bool seeThrough = false;
    for (const SurfaceQuad& quad : quads)
        seeThrough = seeThrough || quad.color.a < 1.0f;
    if (seeThrough) {
        const aiString blend("BLEND");
        material->AddProperty(&blend, AI_MATKEY_GLTF_ALPHAMODE);
    }

    // Fewer meshes than the bits of SeparateColours' mask, thirteen at most.
    std::array<std::size_t, 32> sizes{};
    for (const unsigned m : meshOf)
        ++sizes[m];
    scene->mMeshes = new aiMesh* [meshCount] {};
    scene->mNumMeshes = meshCount;
    for (unsigned m = 0; m < meshCount; ++m)
        scene->mMeshes[m] = NewMesh(sizes[m], triangles);
    std::array<unsigned, 32> filled{};
    for (std::size_t q = 0; q < quads.size(); ++q)
        AddQuad(scene->mMeshes[meshOf[q]], filled[meshOf[q]]++, quads[q], triangles);
    return scene;
}

} // namespace

bool ExportMesh(const VoxelModel& model, const std::string& path, std::string& error) {
    const std::string resolved = ResolveWritePath(path);
    const std::string shown = resolved == path ? path : path + " (" + resolved + ")";
    auto fail = [&](const std::string& why) {
        error = "Cannot export a mesh to " + (path.empty() ? std::string("\"\"") : shown) + ": " +
                why + ".";
        return false;
    };
    if (path.empty())
        return fail("no file name given");
    const fs::path target(resolved);
    if (std::string outside; !IsWritablePath(target, outside))
        return fail(outside);
    if (const std::string why = TargetProblem(target); !why.empty())
        return fail(why);

    const std::string extension = Lowercase(target.extension().string());
    const Format* format = nullptr;
    for (const Format& candidate : kFormats)
        if (extension == candidate.extension)
            format = &candidate;
    if (format == nullptr)
        return fail((extension.empty()
                         ? std::string("the name has no extension")
                         : "unknown mesh format \"" + target.extension().string() + "\"") +
                    " (use .glb, .obj or .ply)");

    if (model.voxels.empty())
        return fail("the model has no voxels");
    std::vector<SurfaceQuad> quads;
    std::string problem;
    if (!BuildSurface(model.voxels, quads, problem))
        return fail(problem);
    // Four vertices a rectangle, counted in 32 bits by every one of the formats.
    if (quads.size() > 0x3fffffffu / 2)
        return fail("the surface has " + std::to_string(quads.size()) +
                    " rectangles, more than a mesh file holds");

    const std::unique_ptr<aiScene> scene = BuildScene(quads, format->triangles, format->joined);
    FileContents files;
    {
        Assimp::Exporter exporter;
        exporter.SetIOHandler(new MemoryFolder(files));
        if (exporter.Export(scene.get(), format->exporter, resolved) != aiReturn_SUCCESS)
            return fail(std::string("the exporter failed: ") + exporter.GetErrorString());
    }
    if (files.count(resolved) == 0)
        return fail("the exporter produced no file");
    if (!CommitFiles(files, resolved, problem))
        return fail(problem);
    return true;
}
