#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "voxels/VoxelInstance.h"

// Copying the instance records as raw bytes: the bandwidth any per-frame gather of the
// same number of voxels is measured against.
static void BM_Memcpy48(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<VoxelInstance> source(count), target(count);
    for (std::size_t i = 0; i < count; ++i)
        source[i].position = glm::vec4(float(i), 0.0f, 0.0f, 1.0f);
    for (auto _ : state) {
        std::memcpy(target.data(), source.data(), count * sizeof(VoxelInstance));
        benchmark::DoNotOptimize(target.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.SetBytesProcessed(state.iterations() * state.range(0) *
                            static_cast<int64_t>(sizeof(VoxelInstance)));
    state.counters["ns_per_voxel"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Memcpy48)->Arg(100000)->Arg(699050)->Unit(benchmark::kMicrosecond);
