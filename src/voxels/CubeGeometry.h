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

// The same cube as three pairs of opposite faces for drawing only the faces towards the
// camera: 18 vertices, six (two triangles) per axis x, y, z. Each vertex has its corner and
// normal on the face looking along the axis, then on the opposite face; the triangles are
// those of kUnitCube, in the same vertex order.
struct CubeFacePairs {
    float positions[18][3];
    float normals[18][3];
    float backPositions[18][3];
    float backNormals[18][3];
};

static_assert(sizeof(CubeFacePairs) == 864, "uploaded as one array of 72 vec3");

CubeFacePairs MakeCubeFacePairs();
