#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>

#include "objects/BlockAllocator.h"

namespace {

constexpr std::size_t kBatch = 64;
constexpr std::size_t kBlockSize = 96;

// Both benchmarks take a batch of blocks, touch each one and give them all
// back, which is how message traffic uses the pool within a frame.
void BM_Pool96AllocFree(benchmark::State& state) {
    ObjectAllocator& pool = BlockAllocator<kBlockSize>::Instance().GetAllocator();
    std::array<void*, kBatch> blocks{};
    for (auto _ : state) {
        for (void*& block : blocks) {
            block = pool.Allocate();
            *static_cast<char*>(block) = 1;
        }
        benchmark::DoNotOptimize(blocks.data());
        for (void* block : blocks)
            pool.Free(block);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBatch));
}
BENCHMARK(BM_Pool96AllocFree);

void BM_Malloc96AllocFree(benchmark::State& state) {
    std::array<void*, kBatch> blocks{};
    for (auto _ : state) {
        for (void*& block : blocks) {
            block = std::malloc(kBlockSize);
            *static_cast<char*>(block) = 1;
        }
        benchmark::DoNotOptimize(blocks.data());
        for (void* block : blocks)
            std::free(block);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kBatch));
}
BENCHMARK(BM_Malloc96AllocFree);

} // namespace
