// What a game that piles up timers or listeners costs the engine.
//
// BM_TimersFrameWithFarFuturePending: one frame of the timers (ScriptTimers::
// Update) while `range(0)` timeouts wait far in the future and none is due;
// the frame should cost what is due, not what waits. The timers are added
// from C++ so that counts above the scripts' cap can be measured too.
//
// BM_ListenersAdd and BM_ListenersRemove: `range(0)` distinct functions given
// to addEventListener, then to removeEventListener, from one script loop.

#include <string>

#include <benchmark/benchmark.h>
#include <jsapi.h>

#include "input/Gamepads.h"
#include "script/ScriptCallback.h"
#include "script/ScriptHost.h"
#include "script/ScriptTimers.h"
#include "script/ScriptValue.h"

namespace {

ScriptHost& Host() {
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    return host;
}

void BM_TimersFrameWithFarFuturePending(benchmark::State& state) {
    ScriptHost& host = Host();
    JSContext* cx = host.GetContext();
    JS::RootedValue value(cx);
    ScriptCallback function;
    if (!host.Evaluate("var farFuture = function () {};", "timers.js") ||
        !JS_GetProperty(cx, JS::RootedObject(cx, host.GetGlobal()), "farFuture", &value) ||
        !script::Convert<ScriptCallback>::FromScript(cx, value, function)) {
        state.SkipWithError("no function to schedule");
        return;
    }
    ScriptTimers timers;
    for (int64_t i = 0; i < state.range(0); ++i)
        timers.Add(function, ScriptCallback(), 1.0e12, false);
    for (auto _ : state)
        timers.Update(1.0 / 60.0);
    state.counters["pending"] = static_cast<double>(timers.GetCount());
    timers.Clear();
}

// The listeners are made before the clock runs; only the calls are timed.
void Listeners(benchmark::State& state, bool timeRemoval) {
    ScriptHost& host = Host();
    const std::string count = std::to_string(state.range(0));
    host.Evaluate("var listeners = []; for (let i = 0; i < " + count +
                      "; ++i) listeners.push(() => i);",
                  "listeners.js");
    const std::string add = "for (const f of listeners) addEventListener('gamepadconnected', f);";
    const std::string remove =
        "for (const f of listeners) removeEventListener('gamepadconnected', f);";
    for (auto _ : state) {
        if (timeRemoval) {
            state.PauseTiming();
            host.Evaluate(add, "add.js");
            state.ResumeTiming();
            host.Evaluate(remove, "remove.js");
        } else {
            host.Evaluate(add, "add.js");
            state.PauseTiming();
            host.Evaluate(remove, "remove.js");
            state.ResumeTiming();
        }
    }
    state.counters["left"] = static_cast<double>(Gamepads::Instance().GetListenerCount());
    state.SetItemsProcessed(state.iterations() * state.range(0));
    Gamepads::Instance().ClearListeners();
}

void BM_ListenersAdd(benchmark::State& state) {
    Listeners(state, false);
}
void BM_ListenersRemove(benchmark::State& state) {
    Listeners(state, true);
}

BENCHMARK(BM_TimersFrameWithFarFuturePending)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ListenersAdd)->Arg(20000)->Arg(200000)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListenersRemove)
    ->Arg(20000)
    ->Arg(200000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
