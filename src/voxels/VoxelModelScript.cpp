#include "voxels/VoxelModel.h"

#include "script/ScriptClass.h"

// Wrappers point at a model owned elsewhere, normally the graphics system's cache, so every
// object showing that model sees what a script does to it.
namespace {

bool LoadFromFile(VoxelModel& model, const script::FilePath& file) {
    return model.LoadFromFile(file.path);
}
// Failures are reported on standard error; scripts get no result.
void SaveToFile(const VoxelModel& model, const script::FilePath& file) {
    model.SaveToFile(file.path);
}

using S = script::ScriptClass<VoxelModel>;
const S voxelModelClass("VoxelModel",
                        {
                            S::Method<&LoadFromFile>("LoadFromFile"),
                            S::Method<&SaveToFile>("SaveToFile"),
                            S::Method<&VoxelModel::RandomizeSaturation>("RandomizeSaturation"),
                        });

} // namespace
