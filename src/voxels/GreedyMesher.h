#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "voxels/VoxelInstance.h"

// The outer surface of a voxel model as few rectangles as a simple greedy pass finds:
// what a mesh file needs, where the renderer draws every cube whole.
//
// Cells: a voxel is the unit cube centred on its position rounded to whole numbers, as
// the renderer draws it (CubeGeometry: corners at +-0.5 around the position). A voxel
// sharing its cell with an earlier one replaces it, as in a .vox file.
//
// Which faces are kept: a face is hidden by an opaque neighbour (alpha exactly 1), and a
// see-through face also by a see-through neighbour, so a pane of glass is one surface
// and not a stack of slabs. An opaque face behind glass stays: it shows through.
//
// Colours are clamped to [0, 1] (NaN reads as 0), the range mesh files hold, and faces
// merge only with faces of exactly the same clamped colour that look the same way from
// the same plane. Merging joins runs along the first axis of the plane, then stacks
// runs of the same extent and colour along the second; the result has T-junctions
// where rectangles of different widths meet, which mesh tools accept.
struct SurfaceQuad {
    // The axis the face looks along (0 x, 1 y, 2 z) and whether toward its positive end.
    int axis = 0;
    bool positive = true;
    // In whole steps of the cell grid, whose lines lie half-way between cell centres
    // (line k at k - 0.5): the plane of the face along `axis`, and its extent [low, high)
    // along the plane's two axes, (axis + 1) % 3 first.
    std::int64_t plane = 0;
    std::array<std::int64_t, 2> low{0, 0};
    std::array<std::int64_t, 2> high{0, 0};
    glm::vec4 color{0.0f};

    glm::vec3 Normal() const;
    // In model space, counter-clockwise seen from the side the face looks to.
    std::array<glm::vec3, 4> Corners() const;
};

// Cells may lie at most this far from the origin along each axis: the mesher packs a
// cell into one 64-bit key, and the corners stay exact in a float.
inline constexpr std::int64_t kSurfaceMaxCoordinate = 1000000;

// Replaces `quads` with the surface of `voxels`, ordered by direction (-x, +x, -y, +y,
// -z, +z), plane, then position. False, with `problem` naming the voxel and its value,
// when a position is not a number or lies beyond kSurfaceMaxCoordinate; `quads` is then
// empty.
bool BuildSurface(const std::vector<VoxelInstance>& voxels, std::vector<SurfaceQuad>& quads,
                  std::string& problem);
