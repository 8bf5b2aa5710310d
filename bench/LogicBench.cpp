// What the game logic costs per script-driven component, against calling the
// same script function the same number of times directly.
//
// BM_ScriptUpdateComponents/N: one game-logic update with N script-update
// components, each calling a trivial function with (owner, dt).
// BM_ScriptCallbackCalls/N: that function called N times through one stored
// callback with the same arguments; the floor for the first.
// BM_MessageDistributors/N: one key message broadcast to N distributors, each
// handed the message as a script object.
// BM_WatchdogCallLimit: what the runaway-script watchdog adds to every call
// from the engine into script (arming and clearing its deadline), against a
// call's cost in BM_ScriptCallbackCalls.

#include <string>

#include <benchmark/benchmark.h>

#include "core/Core.h"
#include "logic/GameLogicSystem.h"
#include "logic/ScriptUpdateComponent.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "script/ScriptHost.h"

namespace {

// N objects, each with the named component holding the counting function.
void MakeObjects(int count, const std::string& component, const std::string& property) {
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    Core::Instance().objectManager->ClearAllObjects();
    host.Evaluate("var calls = 0, counting = function(owner, x) { ++calls; };"
                  "var om = Core.Instance().objectManager;"
                  "for (var i = 0; i < " +
                      std::to_string(count) +
                      "; ++i)"
                      "  ObjectManager.Add" +
                      component + "(om.NewObject())." + property + " = counting;",
                  "bench.js");
}

void BM_ScriptUpdateComponents(benchmark::State& state) {
    MakeObjects(static_cast<int>(state.range(0)), "ScriptUpdateComponent", "updateFunction");
    GameLogicSystem& logic = *Core::Instance().GameLogicSystem_;
    for (auto _ : state)
        logic.Update(0.016f);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScriptUpdateComponents)->Arg(1000);

void BM_ScriptCallbackCalls(benchmark::State& state) {
    MakeObjects(1, "ScriptUpdateComponent", "updateFunction");
    const ScriptCallback function =
        ObjectManager::GetComponent<ScriptUpdateComponent>(GameObject(0, 0))->updateFunction;
    const GameObject owner(0, 0);
    for (auto _ : state)
        for (int64_t i = 0; i < state.range(0); ++i)
            function.Call({owner, 0.016f});
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ScriptCallbackCalls)->Arg(1000);

void BM_WatchdogCallLimit(benchmark::State& state) {
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    ScriptWatchdog& watchdog = host.GetWatchdog();
    for (auto _ : state) {
        benchmark::DoNotOptimize(watchdog.BeginCall(host.GetScriptTimeoutSeconds()));
        watchdog.EndCall();
    }
}
BENCHMARK(BM_WatchdogCallLimit);

void BM_MessageDistributors(benchmark::State& state) {
    MakeObjects(static_cast<int>(state.range(0)), "MessageDistributorComponent",
                "processMessageFunction");
    Core& core = Core::Instance();
    for (auto _ : state)
        core.BroadcastMessage(CreateMessage<KeyboardMessage>(KS_PRESSED, 'a', false, false, false));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MessageDistributors)->Arg(1000);

} // namespace
