#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "voxels/VoxelInstance.h"

// The .vox exchange format most voxel editors read and write: a "VOX " header with a
// version, then a MAIN chunk whose children hold the models (SIZE, XYZI), an optional
// palette (RGBA) and a scene graph (nTRN, nGRP, nSHP) that places the models. Every
// chunk is an id, its content size and its children's size, so unknown chunks are
// skipped by their sizes.
//
// The format is z-up; the engine is y-up, so (x, y, z) in a file is (x, z, -y) here.
// Loaded voxels are centred as the engine's own models are: whole-number positions,
// x and z centred on 0 and the lowest layer at y = 0.

// Whether a file name ends in ".vox" (any case), so it is read and written as such.
bool IsVoxFileName(const std::string& fileName);

// Reads a whole .vox file held in memory. Every size and count is checked against the
// bytes that hold it, and a scene graph cannot make the result grow without bound
// (kVoxMaxPlacedVoxels). False with `problem` saying what and where (byte offset) when
// the file breaks the format; `voxels` is then untouched.
bool ReadVox(const std::uint8_t* data, std::size_t size, std::vector<VoxelInstance>& voxels,
             std::string& problem);

// Encodes the voxels as a single-model .vox file (positions rounded to whole numbers, a
// voxel sharing its cell with an earlier one replaces that one's colour). The palette
// holds the model's colours; with more than 255 distinct ones the 255 commonest are
// kept and every other voxel takes the nearest of them. False with `problem` when a
// model spans more than 256 cells on an axis or has a position that is not a number.
bool WriteVox(const std::vector<VoxelInstance>& voxels, std::vector<std::uint8_t>& bytes,
              std::string& problem);

// Voxels a file may place in all; more (a small file can place one model many times)
// is refused rather than exhausting memory.
inline constexpr std::size_t kVoxMaxPlacedVoxels = std::size_t(1) << 23;

// The format's published palette for files without an RGBA chunk, as 0xAABBGGRR:
// entry i is the colour of colour index i (entry 0 is unused).
extern const std::uint32_t kVoxDefaultPalette[256];
