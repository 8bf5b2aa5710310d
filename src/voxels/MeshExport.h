#pragma once

#include <string>

class VoxelModel;

// Writes a voxel model's surface (GreedyMesher.h: faces against empty space, merged into
// rectangles of one colour) as a mesh that modelling tools and other engines import,
// in model space and in the engine's axes (y up). The format follows the name's
// extension, in any case:
//   .glb  glTF 2.0, binary: triangles with per-vertex normals and RGBA colours
//         (COLOR_0); blended when any face is see-through.
//   .obj  Wavefront OBJ with an .mtl beside it (same name), vertex colours after each
//         position ("v x y z r g b"), quads. OBJ holds no alpha: see-through faces are
//         written opaque.
//   .ply  PLY as text, quads with per-vertex normals and RGBA colours (bytes).
// One mesh with one material whose colour is white, so the vertex colours show as
// they are. In a .glb file the mesh has a few primitives: rectangles of different
// colours that share a corner are kept in different ones, since Assimp's glTF writer
// would otherwise give the shared vertex one of the two colours.
//
// The name goes through ResolvePath. Every file is written to a temporary file beside
// its target and renamed over it only once all are complete, so a failed export leaves
// earlier files intact. False, with `error` naming the file and the reason, for an
// empty name, another extension, a target that is a folder, device or FIFO, a folder
// that does not exist or cannot be written, an empty model or a voxel position the
// mesher refuses; nothing is written then.
bool ExportMesh(const VoxelModel& model, const std::string& path, std::string& error);
