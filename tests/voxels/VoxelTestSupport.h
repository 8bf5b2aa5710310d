#pragma once

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "voxels/VoxelModel.h"

// A voxel record at a whole position, grey unless told.
inline VoxelInstance Cell(glm::vec3 position, glm::vec4 color = {0.5f, 0.5f, 0.5f, 1.0f}) {
    VoxelInstance v;
    v.position = glm::vec4(position, 1.0f);
    v.color = color;
    return v;
}

// A solid cube of side^3 voxels from `corner` up, x fastest: voxel (x, y, z) is at index
// side * (side * z + y) + x.
inline VoxelModel Block(int side, glm::vec3 corner = {}, glm::vec4 color = {0.5f, 0.5f, 0.5f, 1}) {
    VoxelModel model;
    for (int z = 0; z < side; ++z)
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x)
                model.voxels.push_back(Cell(corner + glm::vec3(x, y, z), color));
    return model;
}
