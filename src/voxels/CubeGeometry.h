#pragma once

// The unit cube every voxel instance draws: 12 triangles wound counter-clockwise seen from
// outside (back faces are culled), corners at +-0.5. Uploaded as one buffer, all 36
// positions first, then the 36 matching face normals.
struct CubeGeometry {
    float positions[36][3];
    float normals[36][3];
};

static_assert(sizeof(CubeGeometry) == 864, "positions and normals are uploaded as one block");

extern const CubeGeometry kUnitCube;
