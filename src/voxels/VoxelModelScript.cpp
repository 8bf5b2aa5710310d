#include "voxels/VoxelModel.h"

#include <iostream>
#include <stdexcept>

#include "base/Path.h"
#include "base/WritableFolders.h"
#include "script/ScriptClass.h"
#include "voxels/MeshExport.h"

// Wrappers of a cached model point at a model owned elsewhere, normally the graphics
// system's cache, so every object showing that model sees what a script does to it.
// `new VoxelModel()` makes a shared model instead: each wrapper and each component
// showing it is one of its holders, and the last to let go frees it.
namespace {

// A script naming a file outside the game's folders is stopped with a script error
// before anything is made or written: it is a mistake or an attack on the player.
void CheckWritable(const std::string& file) {
    if (std::string outside; !IsWritablePath(ResolveWritePath(file), outside))
        throw std::invalid_argument("cannot write " + file + ": " + outside +
                                    "; nothing was written");
}

bool LoadFromFile(VoxelModel& model, const script::FilePath& file) {
    return model.LoadFromFile(file.path);
}
// Failures are reported on standard error; scripts get no result.
void SaveToFile(const VoxelModel& model, const script::FilePath& file) {
    CheckWritable(file.path);
    model.SaveToFile(file.path);
}

// Like LoadFromFile: false, with the reason on standard error.
bool ExportMesh(const VoxelModel& model, const script::FilePath& file) {
    CheckWritable(file.path);
    std::string error;
    if (::ExportMesh(model, file.path, error))
        return true;
    std::cerr << error << "\n";
    return false;
}

void SetVoxel(VoxelModel& model, std::uint32_t index, const glm::vec3& position,
              const glm::vec4& color) {
    model.SetVoxel(index, position, color);
}
void RemoveVoxel(VoxelModel& model, std::uint32_t index) {
    model.RemoveVoxel(index);
}
VoxelInstance GetVoxel(const VoxelModel& model, std::uint32_t index) {
    return model.GetVoxel(index);
}
std::uint32_t GetVoxelCount(const VoxelModel& model) {
    return static_cast<std::uint32_t>(model.GetVoxelCount());
}

script::ClassOptions<VoxelModel> SharedModels() {
    script::ClassOptions<VoxelModel> options;
    options.create = [] { return VoxelModel::NewShared(); };
    options.hold = [](VoxelModel* model) {
        model->AddHolder();
        return model->IsShared();
    };
    options.release = [](VoxelModel* model) { model->RemoveHolder(); };
    return options;
}

constexpr const char* kFormatNote = "a name ending in .vox is read and written as a .vox file";
constexpr const char* kMeshNote =
    "writes the model's surface as a mesh for other tools: .glb (glTF 2.0), .obj or .ply by "
    "the name's extension; false, with the reason on standard error, when it cannot";
constexpr const char* kIndexNote = "an index at or past GetVoxelCount() is a script error";

using S = script::ScriptClass<VoxelModel>;
const S voxelModelClass(
    "VoxelModel",
    {
        S::Method<&LoadFromFile>("LoadFromFile").Args("file").Noted(kFormatNote),
        S::Method<&SaveToFile>("SaveToFile").Args("file").Noted(kFormatNote),
        S::Method<&ExportMesh>("ExportMesh").Args("file").Noted(kMeshNote),
        S::Method<&VoxelModel::RandomizeSaturation>("RandomizeSaturation").Args("color, min, max"),
        S::Method<&VoxelModel::AddVoxel>("AddVoxel")
            .Args("position, color")
            .Noted("position, then colour r, g, b, a"),
        S::Method<&SetVoxel>("SetVoxel").Args("index, position, color").Noted(kIndexNote),
        S::Method<&RemoveVoxel>("RemoveVoxel").Args("index").Noted(kIndexNote),
        S::Method<&GetVoxel>("GetVoxel").Args("index").Noted(kIndexNote),
        S::Method<&GetVoxelCount>("GetVoxelCount"),
        S::Method<&VoxelModel::Clear>("Clear"),
    },
    SharedModels());

} // namespace
