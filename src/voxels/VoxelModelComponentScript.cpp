#include "voxels/VoxelModelComponent.h"

#include "objects/ComponentScript.h"
#include "voxels/VoxelModel.h"

namespace {

script::PointerOrNull<VoxelModel> GetModel(const VoxelModelComponent& component) {
    return {component.model.Get()};
}
// Anything but a VoxelModel object clears the model; the component then shows nothing.
void SetModel(VoxelModelComponent& component, script::PointerOrNull<VoxelModel> model) {
    component.model = model.object;
}

constexpr const char* kOrientedNote =
    "false (the default, and again after each attach): the model is drawn unrotated, whatever "
    "the object's orientation; true: every voxel is turned by the TransformComponent's "
    "orientation about the object's position (`originOffset` is added after, unturned)";

using S = script::ScriptClass<VoxelModelComponent>;
const S voxelModelComponentClass(
    "VoxelModelComponent",
    {
        S::Property<&GetModel, &SetModel>("model"),
        S::Property<&VoxelModelComponent::visible>("visible"),
        S::Property<&VoxelModelComponent::oriented>("oriented").Noted(kOrientedNote),
        S::Property<&VoxelModelComponent::alpha>("alpha"),
        S::Property<&VoxelModelComponent::originOffset>("originOffset"),
        S::Method<&VoxelModelComponent::GetHalfExtents>("GetHalfExtents"),
    },
    ComponentScriptOptions<VoxelModelComponent>());

} // namespace
