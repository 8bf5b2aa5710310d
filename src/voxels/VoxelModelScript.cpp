#include "voxels/VoxelModel.h"

#include "script/ScriptClass.h"

// Wrappers point at a model owned elsewhere, normally the graphics system's cache, so every
// object showing that model sees what a script does to it.
namespace {

// Failures are reported on standard error; scripts get no result.
void SaveToFile(const VoxelModel& model, const std::string& fileName) {
    model.SaveToFile(fileName);
}

using S = script::ScriptClass<VoxelModel>;
const S voxelModelClass("VoxelModel",
                        {
                            S::Method<&VoxelModel::LoadFromFile>("LoadFromFile"),
                            S::Method<&SaveToFile>("SaveToFile"),
                            S::Method<&VoxelModel::RandomizeSaturation>("RandomizeSaturation"),
                        });

} // namespace
