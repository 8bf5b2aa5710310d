#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Loads `data` as a .vxm file, saves what was loaded and loads that again, and checks
// every step against the format: what a load keeps of the bytes, that a save writes
// exactly the loaded records and that nothing changes on the way back. Returns "" when
// all holds, otherwise what went wrong. Shared by the fuzzer and the corpus replay test.
std::string CheckVoxelModelRoundTrip(const std::uint8_t* data, std::size_t size);
