// What click boxes cost as they grow in number.
//
// BM_ClickBoxMotion/N: one mouse motion broadcast to N initialized click
// boxes, each hit-testing it (no callback runs on motion).
// BM_ClickBoxUpdate/N: one game-logic update with N click boxes, each
// calling its mouseNotOverFunction (a trivial script function).

#include <string>

#include <benchmark/benchmark.h>

#include "core/Core.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "script/ScriptHost.h"

namespace {

void MakeBoxes(int count) {
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    Core::Instance().objectManager->ClearAllObjects();
    host.Evaluate("var calls = 0, om = Core.Instance().objectManager;"
                  "for (var i = 0; i < " +
                      std::to_string(count) +
                      "; ++i) {"
                      "  var o = om.NewObject();"
                      "  ObjectManager.AddTransformComponent(o).position = [i % 600, i % 400, 0];"
                      "  var box = ObjectManager.AddClickBoxComponent(o);"
                      "  box.extents = [20, 10];"
                      "  box.mouseNotOverFunction = function() { ++calls; };"
                      "  ObjectManager.InitializeObj(o); }",
                  "bench.js");
}

void BM_ClickBoxMotion(benchmark::State& state) {
    MakeBoxes(static_cast<int>(state.range(0)));
    Core& core = Core::Instance();
    int x = 0;
    for (auto _ : state) {
        x = (x + 7) % 1280;
        core.BroadcastMessage(CreateMessage<MouseMotionMessage>(x, 300, 7, 0));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClickBoxMotion)->Arg(1000);

void BM_ClickBoxUpdate(benchmark::State& state) {
    MakeBoxes(static_cast<int>(state.range(0)));
    GameLogicSystem& logic = *Core::Instance().GameLogicSystem_;
    for (auto _ : state)
        logic.Update(0.016f);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ClickBoxUpdate)->Arg(1000);

} // namespace
