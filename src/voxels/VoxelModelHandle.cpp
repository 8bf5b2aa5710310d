#include "voxels/VoxelModelHandle.h"

#include "voxels/VoxelModel.h"

void VoxelModelHandle::Reset(VoxelModel* other) {
    VoxelModel* previous = model;
    const bool held = holding;
    holding = other != nullptr && other->IsShared();
    if (holding)
        other->AddHolder();
    model = other;
    if (held)
        previous->RemoveHolder();
}
