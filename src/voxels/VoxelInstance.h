#pragma once

#include <cmath>
#include <type_traits>

#include <glm/vec4.hpp>

// One voxel: the record a model stores and, unchanged, one element of the frame's instance
// buffer. The shader reads it as three RGBA32F texels, so the layout is fixed at 48 bytes
// with no padding: colour (r, g, b, a), position (x, y, z, w), orientation quaternion
// (x, y, z, w).
struct VoxelInstance {
    glm::vec4 color{0.0f, 0.0f, 0.0f, 0.0f};
    glm::vec4 position{0.0f, 0.0f, 0.0f, 0.0f};
    glm::vec4 orientation{0.0f, 0.0f, 0.0f, 1.0f};
};

static_assert(sizeof(VoxelInstance) == 48, "VoxelInstance must match three RGBA32F texels");
static_assert(std::is_standard_layout<VoxelInstance>::value,
              "VoxelInstance is copied into GL buffers byte for byte");

// Draw order of see-through voxels: ascending y, then z, then x. Used as the comparator
// of a std::multiset, which places a new element after those that compare equal, so
// voxels at the same place are drawn in the order they were gathered.
//
// A NaN coordinate (a script can produce one) would make '<' inconsistent and the
// multiset's behaviour undefined; NaN is therefore ordered after every number, and all
// NaNs are equal to one another. For ordinary values this is plain float comparison.
struct TransparentVoxelOrder {
    static bool Less(float a, float b) { return a < b || (std::isnan(b) && !std::isnan(a)); }

    bool operator()(const VoxelInstance& a, const VoxelInstance& b) const {
        if (Less(a.position.y, b.position.y))
            return true;
        if (Less(b.position.y, a.position.y))
            return false;
        if (Less(a.position.z, b.position.z))
            return true;
        if (Less(b.position.z, a.position.z))
            return false;
        return Less(a.position.x, b.position.x);
    }
};
