#include "voxels/VoxelComponent.h"

#include "voxels/VoxelModel.h"

void VoxelComponent::RandomizeSaturation(int min, int max) {
    color = RandomBrightness(glm::vec3(color), min, max).Next();
}
