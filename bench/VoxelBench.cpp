#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelGatherer.h"
#include "voxels/VoxelInstance.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

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

// One frame's gathering of a scene of voxel models (1,000 voxels each), without GL: what
// the frame spends on the CPU before its single upload. Compare with BM_Memcpy48 at the
// same count. Arguments: voxels; 1 = models turn with their objects; 1 = models are
// see-through (every voxel is put in draw order); for see-through models, 1 = ordered the
// plain way, by inserting into a tree, 0 = by sorting a flat array.
static void BM_VoxelGather(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    const bool oriented = state.range(1) != 0;
    const float alpha = state.range(2) != 0 ? 0.5f : 1.0f;
    const bool tree = state.range(3) != 0;
    constexpr std::size_t kPerModel = 1000;

    VoxelModel full, rest;
    std::srand(7);
    for (std::size_t i = 0; i < kPerModel; ++i) {
        VoxelInstance v;
        v.color = {float(std::rand() % 256) / 255.0f, 0.5f, 0.25f, 1.0f};
        v.position = {float(i % 10), float(i / 10 % 10), float(i / 100), 1.0f};
        full.voxels.push_back(v);
    }
    rest.voxels.assign(full.voxels.begin(), full.voxels.begin() + count % kPerModel);

    ObjectManager om;
    const float turn = std::sqrt(0.5f);
    for (std::size_t placed = 0; placed < count; placed += kPerModel) {
        const GameObject obj = om.NewObject();
        TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(obj);
        transform->position = {float(placed % 97), 0.0f, float(placed / 97)};
        transform->orientation = glm::quat(turn, 0.0f, turn, 0.0f);
        VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(obj);
        component->model = count - placed >= kPerModel ? &full : &rest;
        component->oriented = oriented;
        component->alpha = alpha;
    }

    std::vector<VoxelInstance> instances;
    SeeThroughVoxels transparent;
    transparent.useTree = tree;
    VoxelGatherer gatherer(instances, transparent);
    for (auto _ : state) {
        gatherer.GatherScene();
        benchmark::DoNotOptimize(instances.data());
        benchmark::ClobberMemory();
    }
    if (instances.size() != count)
        state.SkipWithError("gathered the wrong number of voxels");
    state.SetItemsProcessed(state.iterations() * state.range(0));
    state.counters["ns_per_voxel"] =
        benchmark::Counter(static_cast<double>(state.iterations() * state.range(0)),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_VoxelGather)
    ->Args({100000, 0, 0, 0})
    ->Args({100000, 1, 0, 0})
    ->Args({699050, 0, 0, 0})
    ->Args({699050, 1, 0, 0})
    ->Args({100000, 0, 1, 0})
    ->Args({100000, 0, 1, 1})
    ->Args({100000, 1, 1, 0})
    ->Args({100000, 1, 1, 1})
    ->Unit(benchmark::kMicrosecond);
