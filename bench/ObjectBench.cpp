#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/TransformComponent.h"
#include "logic/GeneralDataComponent.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelComponent.h"

// One frame's worth of short-lived objects: create, give each three
// components, request destruction, carry out. Ids are recycled from the
// second iteration on, as in a running game.
static void BM_ObjectChurn(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    ObjectManager om;
    std::vector<GameObject> objects(count);
    for (auto _ : state) {
        for (GameObject& obj : objects) {
            obj = om.NewObject();
            ObjectManager::AddComponent<TransformComponent>(obj);
            ObjectManager::AddComponent<VoxelComponent>(obj);
            ObjectManager::AddComponent<GeneralDataComponent>(obj);
        }
        for (const GameObject& obj : objects) {
            om.DeleteObject(obj);
        }
        om.Update();
        benchmark::DoNotOptimize(om.numGameObjects);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}
BENCHMARK(BM_ObjectChurn)->Arg(16)->Arg(1024)->Arg(16384);
