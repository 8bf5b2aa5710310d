// What a script pays to reach the engine, and whether the heap limit keeps
// frame time flat.
//
// The getter benchmarks read one property 10,000 times from a JavaScript
// loop; items/s is reads per second. BM_ScriptRawGetter and
// BM_ScriptRawVec3Getter bind the same fields with plain JSAPI calls and the
// same checks (class, private data), as the baseline for the framework.
// BM_ScriptVec3Setter writes a vector (checked for shape and kind) and
// BM_ScriptComponentVec3Getter reads one through a component wrapper, which
// finds its slot and checks its object's generation at every access.

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <benchmark/benchmark.h>
#include <js/Array.h>
#include <js/CompilationAndEvaluation.h>
#include <js/GCAPI.h>
#include <js/Object.h>
#include <js/SourceText.h>
#include <jsapi.h>

#include "graphics/TransformComponent.h"
#include "objects/ComponentScript.h"
#include "objects/ObjectManager.h"
#include "script/ScriptCallback.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

namespace {

constexpr int kReadsPerCall = 10000;

struct BenchTarget {
    float speed = 1.5f;
    glm::vec3 position{1.0f, 2.0f, 3.0f};
    ScriptCallback onFrame;
};

BenchTarget& Target() {
    static BenchTarget target;
    return target;
}
BenchTarget* TargetInstance() {
    return &Target();
}

// The object whose transform BM_ScriptComponentVec3Getter reads.
GameObject benchObject;
script::IndexedRef<TransformComponent> BenchTransform() {
    return ComponentRef<TransformComponent>(benchObject);
}

using S = script::ScriptClass<BenchTarget>;
const S benchTargetClass("BenchTarget", {
                                            S::Property<&BenchTarget::speed>("speed"),
                                            S::Property<&BenchTarget::position>("position"),
                                            S::Property<&BenchTarget::onFrame>("onFrame"),
                                            S::Function<&TargetInstance>("Instance"),
                                            S::Function<&BenchTransform>("Transform"),
                                        });

// ---- The same two properties with raw JSAPI -------------------------------

const JSClass kRawClass = {"RawTarget", JSCLASS_HAS_RESERVED_SLOTS(1), nullptr, nullptr, nullptr,
                           nullptr};

BenchTarget* RawSelf(JSContext* cx, const JS::CallArgs& args, const char* name) {
    if (args.thisv().isObject() && JS::GetClass(&args.thisv().toObject()) == &kRawClass) {
        if (auto* self = JS::GetMaybePtrFromReservedSlot<BenchTarget>(&args.thisv().toObject(), 0))
            return self;
    }
    JS_ReportErrorASCII(cx, "Error, Private data could not be retrieved in JSGet_%s.", name);
    return nullptr;
}

bool RawGetSpeed(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    BenchTarget* self = RawSelf(cx, args, "speed");
    if (!self)
        return false;
    args.rval().set(JS::NumberValue(static_cast<double>(self->speed)));
    return true;
}

bool RawGetPosition(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    BenchTarget* self = RawSelf(cx, args, "position");
    if (!self)
        return false;
    JS::Value elements[3] = {JS::NumberValue(static_cast<double>(self->position.x)),
                             JS::NumberValue(static_cast<double>(self->position.y)),
                             JS::NumberValue(static_cast<double>(self->position.z))};
    JSObject* array = JS::NewArrayObject(cx, JS::HandleValueArray::fromMarkedLocation(3, elements));
    if (!array)
        return false;
    args.rval().setObject(*array);
    return true;
}

bool RawSetNothing(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgsFromVp(argc, vp).rval().setUndefined();
    return true;
}

const JSPropertySpec kRawProperties[] = {
    JS_PSGS("speed", RawGetSpeed, RawSetNothing, 0),
    JS_PSGS("position", RawGetPosition, RawSetNothing, 0),
    JS_PS_END,
};

bool StartHost() {
    ScriptHost& host = ScriptHost::Instance();
    if (host.IsInitialized())
        return true;
    if (!host.Initialize())
        return false;
    JSContext* cx = host.GetContext();
    JS::RootedObject global(cx, host.GetGlobal());
    JS::RootedObject proto(cx, JS_NewObjectWithGivenProto(cx, &kRawClass, nullptr));
    JS::RootedObject raw(cx, proto ? JS_NewObjectWithGivenProto(cx, &kRawClass, proto) : nullptr);
    if (!raw || !JS_DefineProperties(cx, proto, kRawProperties) ||
        !JS_DefineProperty(cx, global, "rawTarget", raw, 0))
        return false;
    JS::SetReservedSlot(raw, 0, JS::PrivateValue(&Target()));
    return host.Evaluate("var target = BenchTarget.Instance();"
                         "function readSpeed(o, n) { var s = 0;"
                         "  for (var i = 0; i < n; i++) s += o.speed; return s; }"
                         "function readPosition(o, n) { var s = 0;"
                         "  for (var i = 0; i < n; i++) s += o.position[1]; return s; }"
                         "function writePosition(o, n) {"
                         "  for (var i = 0; i < n; i++) o.position = [i, 2, 3]; return n; }",
                         "bench.js");
}

void ReadLoop(benchmark::State& state, const char* function, const char* object) {
    if (!StartHost()) {
        state.SkipWithError("the script host did not start");
        return;
    }
    ScriptHost& host = ScriptHost::Instance();
    const std::string call =
        std::string(function) + "(" + object + ", " + std::to_string(kReadsPerCall) + ")";
    host.Evaluate(call, "warmup.js"); // let the JIT compile the loop
    JSContext* cx = host.GetContext();
    JS::RootedObject global(cx, host.GetGlobal());
    JS::RootedValue target(cx);
    if (!JS_GetProperty(cx, global, object, &target)) {
        state.SkipWithError("no target object");
        return;
    }
    JS::RootedValueArray<2> args(cx);
    args[0].set(target);
    args[1].setInt32(kReadsPerCall);
    JS::RootedValue result(cx);
    for (auto _ : state) {
        if (!JS_CallFunctionName(cx, global, function, args, &result)) {
            host.ReportPendingException();
            state.SkipWithError("the read loop failed");
            return;
        }
        benchmark::DoNotOptimize(result.get().asRawBits());
    }
    state.SetItemsProcessed(state.iterations() * kReadsPerCall);
}

void BM_ScriptNativeGetter(benchmark::State& state) {
    ReadLoop(state, "readSpeed", "target");
}
void BM_ScriptRawGetter(benchmark::State& state) {
    ReadLoop(state, "readSpeed", "rawTarget");
}
void BM_ScriptVec3Getter(benchmark::State& state) {
    ReadLoop(state, "readPosition", "target");
}
void BM_ScriptRawVec3Getter(benchmark::State& state) {
    ReadLoop(state, "readPosition", "rawTarget");
}
void BM_ScriptVec3Setter(benchmark::State& state) {
    ReadLoop(state, "writePosition", "target");
}
void BM_ScriptComponentVec3Getter(benchmark::State& state) {
    ObjectManager manager;
    benchObject = manager.NewObject();
    ObjectManager::AddComponent<TransformComponent>(benchObject);
    if (!StartHost() || !ScriptHost::Instance().Evaluate("var transform = BenchTarget.Transform();",
                                                         "component.js")) {
        state.SkipWithError("no component wrapper");
        return;
    }
    ReadLoop(state, "readPosition", "transform");
}

// The engine calling a stored callback with one number, as the per-frame
// function is called.
void BM_ScriptCallback(benchmark::State& state) {
    if (!StartHost()) {
        state.SkipWithError("the script host did not start");
        return;
    }
    ScriptHost& host = ScriptHost::Instance();
    host.Evaluate("var elapsed = 0; target.onFrame = function(dt) { elapsed += dt; };", "cb.js");
    for (auto _ : state)
        benchmark::DoNotOptimize(Target().onFrame.Call({0.016f}));
    state.SetItemsProcessed(state.iterations());
}

// What every return from the engine into script costs when scripts queued no
// promise job: the share of BM_ScriptCallback spent looking at the queue.
void BM_ScriptEmptyJobQueue(benchmark::State& state) {
    if (!StartHost()) {
        state.SkipWithError("the script host did not start");
        return;
    }
    ScriptHost& host = ScriptHost::Instance();
    for (auto _ : state)
        host.RunPendingJobs();
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(BM_ScriptNativeGetter);
BENCHMARK(BM_ScriptRawGetter);
BENCHMARK(BM_ScriptVec3Getter);
BENCHMARK(BM_ScriptRawVec3Getter);
BENCHMARK(BM_ScriptVec3Setter);
BENCHMARK(BM_ScriptComponentVec3Getter);
BENCHMARK(BM_ScriptCallback);
BENCHMARK(BM_ScriptEmptyJobQueue);

// ---- Frame time against the heap limit -----------------------------------
//
// A fresh context configured exactly as the host configures its own, on a
// thread of its own so that every run starts with a fresh heap. The script
// keeps `live` MiB of long-lived data and, every frame, allocates 20,000
// short-lived arrays (a game reading positions) and replaces a few long-lived
// entries; every 50th frame is collected in full, as the engine does.
// Counters: ms per frame over the first and the last third of the frames (up
// to 600, at most 8 s), full collections per frame (0.02 is the engine's own
// one in 50; far more means the engine is fighting its limit), and the live
// heap after a full collection.

const char kFrameScript[] = R"(
var live = [];
var frameNo = 0;
var scratch = null;
function item(i) { return {id: i, x: i + 0.5, y: i + 1.5, pair: [i, i + 1]}; }
function fill(mib) {
  // An item is about 112 bytes of garbage-collected heap.
  var count = Math.floor(mib * 1048576 / 112);
  for (var i = 0; i < count; i++) live.push(item(i));
}
function frame() {
  // Values read from the engine this frame: dead by the next one.
  var seen = [];
  for (var i = 0; i < 20000; i++) seen.push([i, i + 1, i + 2]);
  scratch = seen;
  // The game changes a little of its long-lived state every frame.
  for (var k = 0; k < 50; k++) live[(frameNo * 50 + k) % live.length] = item(k);
  frameNo++;
  return seen.length;
}
)";

struct FrameRun {
    bool ok = false;
    double firstMs = 0, lastMs = 0, meanMs = 0;
    double liveMiB = 0;
    double majorGCsPerFrame = 0;
};

bool EvaluateOn(JSContext* cx, const std::string& source) {
    std::u16string units(source.begin(), source.end());
    JS::SourceText<char16_t> text;
    if (!text.init(cx, units.data(), units.size(), JS::SourceOwnership::Borrowed))
        return false;
    JS::CompileOptions options(cx);
    options.setFileAndLine("frame.js", 0);
    JS::RootedValue result(cx);
    if (!JS::Evaluate(cx, options, text, &result)) {
        JS_ClearPendingException(cx);
        return false;
    }
    return true;
}

FrameRun RunFrames(size_t heapMiB, int liveMiB, int frames) {
    FrameRun run;
    JSContext* cx = ScriptHost::NewConfiguredContext(heapMiB << 20);
    if (!cx)
        return run;
    {
        JS::RootedObject global(cx, ScriptHost::NewConfiguredGlobal(cx));
        if (global) {
            JSAutoRealm realm(cx, global);
            if (EvaluateOn(cx, kFrameScript) &&
                EvaluateOn(cx, "fill(" + std::to_string(liveMiB) + ")")) {
                JS_GC(cx, JS::GCReason::API);
                run.liveMiB = JS_GetGCParameter(cx, JSGC_BYTES) / 1048576.0;
                std::vector<double> times;
                const uint32_t majorGCsBefore = JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER);
                JS::RootedValue result(cx);
                bool ok = true;
                // A heap past the cliff takes half a second a frame: stop early.
                const auto budgetEnd = std::chrono::steady_clock::now() + std::chrono::seconds(8);
                for (int f = 0; f < frames && ok && std::chrono::steady_clock::now() < budgetEnd;
                     ++f) {
                    const auto start = std::chrono::steady_clock::now();
                    ok = JS_CallFunctionName(cx, global, "frame", JS::HandleValueArray::empty(),
                                             &result);
                    if (f % 50 == 0)
                        JS_GC(cx, JS::GCReason::API);
                    times.push_back(std::chrono::duration<double, std::milli>(
                                        std::chrono::steady_clock::now() - start)
                                        .count());
                }
                const size_t third = times.size() / 3;
                if (ok && third > 0) {
                    for (size_t i = 0; i < third; ++i) {
                        run.firstMs += times[i] / third;
                        run.lastMs += times[times.size() - third + i] / third;
                    }
                    for (double t : times)
                        run.meanMs += t / times.size();
                    run.majorGCsPerFrame =
                        double(JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER) - majorGCsBefore) /
                        times.size();
                    run.ok = true;
                }
                JS_ClearPendingException(cx);
            }
        }
    }
    JS_DestroyContext(cx);
    return run;
}

void BM_ScriptFrameTime(benchmark::State& state) {
    const size_t heapMiB = static_cast<size_t>(state.range(0));
    const int liveMiB = static_cast<int>(state.range(1));
    if (!ScriptHost::InitEngine()) {
        state.SkipWithError("the script engine is not available");
        return;
    }
    FrameRun run;
    for (auto _ : state) {
        std::thread worker([&] { run = RunFrames(heapMiB, liveMiB, 600); });
        worker.join();
        if (!run.ok) {
            state.SkipWithError("the frame script failed (out of memory?)");
            return;
        }
        state.SetIterationTime(run.meanMs / 1000.0);
    }
    state.counters["first_third_ms"] = run.firstMs;
    state.counters["last_third_ms"] = run.lastMs;
    state.counters["live_MiB"] = run.liveMiB;
    state.counters["major_GCs_per_frame"] = run.majorGCsPerFrame;
}

// {heap limit MiB, live data MiB}: the old 10 MiB limit against the default.
BENCHMARK(BM_ScriptFrameTime)
    ->Args({10, 2})
    ->Args({10, 6})
    ->Args({static_cast<int64_t>(ScriptHost::kDefaultHeapLimitBytes >> 20), 6})
    ->Args({static_cast<int64_t>(ScriptHost::kDefaultHeapLimitBytes >> 20), 48})
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace
