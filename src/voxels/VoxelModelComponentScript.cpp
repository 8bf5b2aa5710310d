#include "voxels/VoxelModelComponent.h"

#include "objects/ComponentScript.h"
#include "script/ScriptHost.h"
#include "voxels/VoxelModel.h"

namespace {

script::PointerOrNull<VoxelModel> GetModel(const VoxelModelComponent& component) {
    return {component.model.Get()};
}
// Anything but a VoxelModel object clears the model; the component then shows nothing.
void SetModel(VoxelModelComponent& component, script::PointerOrNull<VoxelModel> model) {
    component.model = model.object;
}

void SetVoxelScale(VoxelModelComponent& component, float scale) {
    if (!VoxelModelComponent::IsVoxelScale(scale))
        return ScriptHost::Instance().ReportError(
            "Error in VoxelModelComponent.voxelScale: it must be a finite number > 0, not %g; "
            "it stays %g.",
            static_cast<double>(scale), static_cast<double>(component.voxelScale));
    component.voxelScale = scale;
}
float GetVoxelScale(const VoxelModelComponent& component) {
    return component.voxelScale;
}

constexpr const char* kVoxelScaleNote =
    "the size every voxel is drawn at (1, the default and again after each attach: one world "
    "unit); voxel positions and `originOffset` are scaled with it about the object's position, "
    "and GetHalfExtents follows it. Finite and > 0; the transform's scale is not drawn";

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
        S::Property<&GetVoxelScale, &SetVoxelScale>("voxelScale").Noted(kVoxelScaleNote),
        S::Method<&VoxelModelComponent::GetHalfExtents>("GetHalfExtents"),
    },
    ComponentScriptOptions<VoxelModelComponent>());

} // namespace
