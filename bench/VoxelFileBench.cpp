#include <filesystem>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "voxels/VoxelModel.h"

namespace {

// The same voxels for both formats: a 50 x 40 x 50 block (within the .vox limit of 256
// per axis) in 216 colours, so neither file needs rounding and both load the same model.
VoxelModel Block(std::size_t count) {
    VoxelModel model;
    for (std::size_t i = 0; i < count; ++i) {
        const float r = float(i % 6) / 5.0f, g = float(i / 6 % 6) / 5.0f,
                    b = float(i / 36 % 6) / 5.0f;
        model.AddVoxel({float(i % 50) - 24.0f, float(i / 2500), float(i / 50 % 50) - 24.0f},
                       {r, g, b, 1.0f});
    }
    return model;
}

// Loads one file over and over from the page cache: the reader's own cost per byte.
void LoadRepeatedly(benchmark::State& state, const char* extension) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() /
        ("marrowvale-bench-" + std::to_string(::getpid()) + extension);
    if (!Block(count).SaveToFile(file.string())) {
        state.SkipWithError("cannot write the model");
        return;
    }
    const auto bytes = static_cast<std::int64_t>(std::filesystem::file_size(file));
    VoxelModel model;
    for (auto _ : state) {
        if (!model.LoadFromFile(file.string()))
            state.SkipWithError("cannot load the model");
        benchmark::DoNotOptimize(model.voxels.data());
    }
    if (model.voxels.size() != count)
        state.SkipWithError("loaded the wrong number of voxels");
    state.SetBytesProcessed(state.iterations() * bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["file_bytes"] = static_cast<double>(bytes);
    std::filesystem::remove(file);
}

} // namespace

// Compare the two at the same count: items_per_second is voxels, bytes_per_second the
// file's own rate (a .vox voxel is 4 bytes, a .vxm one 32).
static void BM_VxmLoad(benchmark::State& state) {
    LoadRepeatedly(state, ".vxm");
}
BENCHMARK(BM_VxmLoad)->Arg(100000)->Unit(benchmark::kMillisecond);

static void BM_VoxLoad(benchmark::State& state) {
    LoadRepeatedly(state, ".vox");
}
BENCHMARK(BM_VoxLoad)->Arg(100000)->Unit(benchmark::kMillisecond);
