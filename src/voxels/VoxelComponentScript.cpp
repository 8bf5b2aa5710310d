#include "voxels/VoxelComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<VoxelComponent>;
const S voxelComponentClass("VoxelComponent", {}, ComponentScriptOptions<VoxelComponent>());
} // namespace
