#include <benchmark/benchmark.h>

#include <vector>

#include "graphics/TransformComponent.h"
#include "logic/GeneralDataComponent.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelComponent.h"

// One frame's worth of short-lived objects: create, give each three
// components, request destruction, carry out, and walk the three stores as the
// frame's passes do. Ids are recycled from the second iteration on, as in a
// running game. The second argument is a peak of objects made and destroyed
// before: the stores keep its size, and the walks must not pay for it.
static void BM_ObjectChurn(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    ObjectManager om;
    std::vector<GameObject> objects(count);
    for (std::int64_t i = 0; i < state.range(1); ++i) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj);
        ObjectManager::AddComponent<VoxelComponent>(obj);
        om.DeleteObject(obj);
    }
    om.Update();
    for (auto _ : state) {
        for (GameObject& obj : objects) {
            obj = om.NewObject();
            ObjectManager::AddComponent<TransformComponent>(obj);
            ObjectManager::AddComponent<VoxelComponent>(obj);
            ObjectManager::AddComponent<GeneralDataComponent>(obj);
        }
        float sum = 0.0f;
        ComponentFactory<TransformComponent>::Instance().ForEachAttached(
            [&](TransformComponent& t) { sum += t.position.x; });
        ComponentFactory<VoxelComponent>::Instance().ForEachAttached(
            [&](VoxelComponent& v) { sum += v.color.r; });
        ComponentFactory<GeneralDataComponent>::Instance().ForEachAttached(
            [&](GeneralDataComponent&) { sum += 1.0f; });
        benchmark::DoNotOptimize(sum);
        for (const GameObject& obj : objects) {
            om.DeleteObject(obj);
        }
        om.Update();
        benchmark::DoNotOptimize(om.numGameObjects);
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * count));
}
BENCHMARK(BM_ObjectChurn)->Args({16, 0})->Args({1024, 0})->Args({16384, 0})->Args({16, 100000});
