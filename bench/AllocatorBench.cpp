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

#include <deque>
#include <forward_list>

namespace {

// The object manager's stack of free ids: a double-ended queue, against a singly
// linked list whose 16-byte nodes come from the 16-byte pool. A frame of churn
// pushes and pops each id once.
template <class Stack> void PushPopIds(benchmark::State& state, Stack& stack) {
    const auto count = static_cast<std::uint32_t>(state.range(0));
    for (auto _ : state) {
        for (std::uint32_t id = 0; id < count; ++id)
            stack.push_front(id);
        std::uint32_t sum = 0;
        for (std::uint32_t id = 0; id < count; ++id) {
            sum += stack.front();
            stack.pop_front();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}

void BM_FreeIdsDeque(benchmark::State& state) {
    std::deque<std::uint32_t> stack;
    PushPopIds(state, stack);
}
BENCHMARK(BM_FreeIdsDeque)->Arg(16)->Arg(16384);

void BM_FreeIdsPooledList(benchmark::State& state) {
    std::forward_list<std::uint32_t, PoolAllocator<std::uint32_t>> stack;
    PushPopIds(state, stack);
}
BENCHMARK(BM_FreeIdsPooledList)->Arg(16)->Arg(16384);

} // namespace
