#include "voxels/VoxelModelHandle.h"

#include "voxels/VoxelModel.h"

void VoxelModelHandle::Reset(VoxelModel* other) {
    VoxelModel* previous = model;
    if (other != nullptr)
        other->AddHolder();
    model = other;
    if (previous != nullptr)
        previous->RemoveHolder();
}
