// Saving and loading a level of 10,000 objects, each with a transform, a voxel
// model read from a file, a body with a box shape and script data, and a name
// (argument 1), or only placed models, a transform and a voxel model each, as
// the inspector's "Add model..." makes them (argument 0):
// the whole of Scene.Save (objects to JSON, to text, written beside and
// renamed) and of Scene.Load (read, parsed, checked, objects made, filled and
// initialized). The load's clearing of the world between runs is not timed.

#include <filesystem>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "base/Path.h"
#include "core/Core.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "scene/Scene.h"
#include "script/ScriptHost.h"

namespace {

namespace fs = std::filesystem;

constexpr int kObjects = 10000;

struct BenchLevel {
    fs::path folder =
        fs::temp_directory_path() / ("marrowvale-bench-scene-" + std::to_string(::getpid()));
    std::string path = "../resource/Levels/bench.json";
    std::string before = GetSaveFolder();

    explicit BenchLevel(bool full) {
        fs::create_directories(folder);
        SetSaveFolder(folder.string());
        ScriptHost& host = ScriptHost::Instance();
        host.Initialize();
        Core::Instance().PhysicsSystem_->Initialize();
        Core::Instance().objectManager->ClearAllObjects();
        host.Evaluate(
            std::string("var full = ") + (full ? "true" : "false") +
                ", om = Core.Instance().objectManager;"
                "var model = Core.Instance().GraphicsSystem_.GetModel("
                "'../resource/Models/voxelCube.vxm');"
                "for (var i = 0; i < " +
                std::to_string(kObjects) +
                "; ++i) {"
                " var obj = om.NewObject();"
                " ObjectManager.AddTransformComponent(obj).position = [i % 100, 0, i / "
                "100];"
                " ObjectManager.AddVoxelModelComponent(obj).model = model;"
                " if (full) {"
                "  var body = ObjectManager.AddBodyComponent(obj);"
                "  body.initialMass = 1; body.shape = Shape.BoxShape([0.5, 0.5, 0.5]);"
                "  ObjectManager.AddGeneralDataComponent(obj).data = {hp: i, kind: 'crate'};"
                "  Scene.SetName(obj, 'crate' + i);"
                " }"
                " ObjectManager.InitializeObj(obj);"
                "}",
            "bench.js");
    }
    ~BenchLevel() {
        Core::Instance().objectManager->ClearAllObjects();
        SetSaveFolder(before);
        fs::remove_all(folder);
    }
};

const char* Label(const benchmark::State& state) {
    return state.range(0) ? "model, body, data, name" : "placed models";
}

void BM_SceneSave(benchmark::State& state) {
    BenchLevel level(state.range(0) != 0);
    state.SetLabel(Label(state));
    std::string error;
    for (auto _ : state)
        if (!Scene::Instance().Save(level.path, {}, error))
            state.SkipWithError(error.c_str());
    state.counters["objects"] = kObjects;
    state.counters["file bytes"] =
        static_cast<double>(fs::file_size(level.folder / "Levels/bench.json"));
}
BENCHMARK(BM_SceneSave)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_SceneLoad(benchmark::State& state) {
    BenchLevel level(state.range(0) != 0);
    state.SetLabel(Label(state));
    std::string error;
    Scene::Instance().Save(level.path, {}, error);
    ObjectManager& objects = *Core::Instance().objectManager;
    for (auto _ : state) {
        state.PauseTiming();
        objects.ClearAllObjects();
        state.ResumeTiming();
        if (!Scene::Instance().Load(level.path, error))
            state.SkipWithError(error.c_str());
    }
    state.counters["objects"] = static_cast<double>(objects.GetLiveObjects().size());
}
BENCHMARK(BM_SceneLoad)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
