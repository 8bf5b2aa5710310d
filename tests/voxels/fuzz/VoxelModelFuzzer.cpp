// libFuzzer entry for the .vxm and .vox loaders and round trips (make fuzz). The same check
// replays the seed corpus in the ordinary test suite.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "VoxelModelRoundTrip.h"

// The loader reports every short file on standard error; at thousands of inputs a
// second that would bury the fuzzer's own output. Failures still print via stdio.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cerr.rdbuf(nullptr);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const std::string& failure :
         {CheckVoxelModelRoundTrip(data, size), CheckVoxRoundTrip(data, size)}) {
        if (!failure.empty()) {
            std::fprintf(stderr, "voxel model round trip: %s\n", failure.c_str());
            std::abort();
        }
    }
    return 0;
}
