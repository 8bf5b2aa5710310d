#include "voxels/VoxelModelComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<VoxelModelComponent>;
const S voxelModelComponentClass("VoxelModelComponent", {},
                                 ComponentScriptOptions<VoxelModelComponent>());
} // namespace
