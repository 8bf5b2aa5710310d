#include "voxels/VoxelComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<VoxelComponent>;
const S voxelComponentClass(
    "VoxelComponent",
    {
        S::Property<&VoxelComponent::color>("color"),
        S::Method<&VoxelComponent::RandomizeSaturation>("RandomizeSaturation").Args("min, max"),
    },
    ComponentScriptOptions<VoxelComponent>());
} // namespace
