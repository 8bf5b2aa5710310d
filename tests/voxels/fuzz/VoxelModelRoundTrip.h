#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Loads `data` as a .vxm file, saves what was loaded and loads that again, and checks
// every step against the format: what a load keeps of the bytes, that a save writes
// exactly the loaded records and that nothing changes on the way back. Returns "" when
// all holds, otherwise what went wrong. Shared by the fuzzer and the corpus replay test.
std::string CheckVoxelModelRoundTrip(const std::uint8_t* data, std::size_t size);

// Reads `data` as a .vox file; when it reads, writes the voxels as .vox again (unless the
// writer refuses them, as it must for a scene wider than 256) and reads that back: the
// same cells with the same colours, one voxel per cell, the later one winning. "" when
// all holds. Every input runs both checks.
std::string CheckVoxRoundTrip(const std::uint8_t* data, std::size_t size);
