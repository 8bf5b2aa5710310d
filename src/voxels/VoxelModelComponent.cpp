#include "voxels/VoxelModelComponent.h"

#include "voxels/VoxelModel.h"

void VoxelModelComponent::OnAdd() {
    oriented = false;
    visible = true;
    originOffset = glm::vec3(0.0f);
    voxelScale = 1.0f;
}

void VoxelModelComponent::OnRemove() {
    originOffset = glm::vec3(0.0f);
    voxelScale = 1.0f;
    visible = true;
    if (model.IsHolding())
        model = nullptr;
}

glm::vec3 VoxelModelComponent::GetHalfExtents() const {
    if (model == nullptr)
        return VoxelModel().GetHalfExtents();
    return model->GetHalfExtents() * voxelScale;
}
