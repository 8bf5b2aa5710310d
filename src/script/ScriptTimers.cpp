#include "script/ScriptTimers.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include <js/Array.h>
#include <js/CallAndConstruct.h>
#include <jsapi.h>
#include <jsfriendapi.h>

#include "script/ScriptErrors.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"
#include "script/ScriptWatchdog.h"

namespace {

// Browsers keep delays in a 32-bit count of milliseconds; longer ones are
// held at that (about 25 days) rather than wrapping round to 0 as they do.
constexpr double kMaxDelayMilliseconds = 2147483647.0;

ScriptTimers& Timers() {
    return ScriptHost::Instance().GetTimers();
}

bool TakeFunction(JSContext* cx, const JS::CallArgs& args, const char* name,
                  ScriptCallback& function) {
    if (args.length() < 1 || !args[0].isObject() || !JS::IsCallable(&args[0].toObject())) {
        std::string got = "nothing";
        if (args.length() >= 1 && !script::Stringify(cx, args[0], got))
            return false;
        if (args.length() >= 1 && args[0].isString())
            got = "the string \"" + got + "\"";
        // A string of code, as old browsers took it, is refused: it would be
        // an eval nobody can debug.
        JS_ReportErrorUTF8(cx, "%s: argument 1 must be a function, got %s", name, got.c_str());
        return false;
    }
    return script::Convert<ScriptCallback>::FromScript(cx, args[0], function);
}

// The delay in seconds: missing, undefined, NaN or negative is 0.
bool TakeDelay(JSContext* cx, const JS::CallArgs& args, const char* name, double& seconds) {
    double milliseconds = 0.0;
    if (args.length() >= 2 && !args[1].isUndefined() &&
        !script::Convert<double>::FromScript(cx, args[1], milliseconds)) {
        if (!JS_IsExceptionPending(cx))
            JS_ReportErrorUTF8(cx, "%s: argument 2 (the delay in milliseconds) must be %s", name,
                               script::Convert<double>::Name().c_str());
        return false;
    }
    if (!(milliseconds > 0.0))
        milliseconds = 0.0;
    seconds = std::min(milliseconds, kMaxDelayMilliseconds) / 1000.0;
    return true;
}

bool RefuseWhenFull(JSContext* cx, const char* name) {
    if (!Timers().IsFull())
        return true;
    JS_ReportErrorUTF8(cx,
                       "%s: %zu timers are already pending, the most the engine keeps; clear "
                       "the ones no longer needed (clearTimeout, clearInterval, "
                       "cancelAnimationFrame)",
                       name, ScriptTimers::kMaxPending);
    return false;
}

bool Schedule(JSContext* cx, unsigned argc, JS::Value* vp, const char* name, bool repeat) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    ScriptCallback function, extra;
    double seconds = 0.0;
    if (!TakeFunction(cx, args, name, function) || !TakeDelay(cx, args, name, seconds) ||
        !RefuseWhenFull(cx, name))
        return false;
    if (args.length() > 2) {
        JS::RootedObject list(
            cx, JS::NewArrayObject(cx, JS::HandleValueArray::subarray(args, 2, args.length() - 2)));
        JS::RootedValue value(cx, JS::ObjectOrNullValue(list));
        if (!list || !script::Convert<ScriptCallback>::FromScript(cx, value, extra))
            return false;
    }
    args.rval().setInt32(Timers().Add(std::move(function), std::move(extra), seconds, repeat));
    return true;
}

bool SetTimeout(JSContext* cx, unsigned argc, JS::Value* vp) {
    return Schedule(cx, argc, vp, "setTimeout", false);
}

bool SetInterval(JSContext* cx, unsigned argc, JS::Value* vp) {
    return Schedule(cx, argc, vp, "setInterval", true);
}

bool RequestAnimationFrame(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    ScriptCallback function;
    if (!TakeFunction(cx, args, "requestAnimationFrame", function) ||
        !RefuseWhenFull(cx, "requestAnimationFrame"))
        return false;
    args.rval().setInt32(Timers().AddAnimationFrame(std::move(function)));
    return true;
}

// Any id at all, as in browsers: what names no timer clears nothing.
bool ClearTimer(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (args.length() >= 1 && args[0].isNumber()) {
        const double id = args[0].toNumber();
        if (id >= 1.0 && id <= 2147483647.0 && id == static_cast<std::int32_t>(id))
            Timers().Remove(static_cast<std::int32_t>(id));
    }
    args.rval().setUndefined();
    return true;
}

// The file a script function was written in; empty for a native.
std::string FileOf(JSContext* cx, JS::HandleValue callee) {
    JS::RootedFunction function(cx, callee.isObject() ? JS_GetObjectFunction(&callee.toObject())
                                                      : nullptr);
    JSScript* code = function ? JS_GetFunctionScript(cx, function) : nullptr;
    JS_ClearPendingException(cx);
    const char* file = code ? JS_GetScriptFilename(code) : nullptr;
    return file ? file : std::string();
}

// One frame's errors from timers: one that repeats the error before it (a
// thousand intervals meeting the same cap) is counted, and the count said
// once, instead of a thousand lines a frame.
class FrameReports {
  public:
    ~FrameReports() { SayRepeats(); }
    void Add(const script::PendingError& error) {
        if (error.outOfMemory) { // said once a frame already
            script::Report(error);
            return;
        }
        if (error.Headline() == last) {
            ++repeats;
            return;
        }
        SayRepeats();
        last = error.Headline();
        file = error.fileName;
        script::Report(error);
    }

  private:
    void SayRepeats() {
        if (repeats > 0)
            script::Report(
                {file, 0, 0,
                 "the error above came " + std::to_string(repeats) + " more times this frame", ""});
        repeats = 0;
    }
    std::string last;
    std::string file;
    std::size_t repeats = 0;
};
FrameReports* frameReports = nullptr; // while timers run

// Calls `function` with the stored arguments, or with `stamp`, as one entry
// into script: the jobs it queues run when it returns.
void Invoke(const ScriptCallback& function, const ScriptCallback& extra, const double* stamp) {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx || !function.IsFunction())
        return;
    ScriptHost::Entry entry(host);
    JS::RootedValue callee(cx), list(cx), item(cx), result(cx);
    JS::RootedValueVector argv(cx);
    bool ok = script::Convert<ScriptCallback>::ToScript(cx, function, &callee) &&
              script::Convert<ScriptCallback>::ToScript(cx, extra, &list);
    if (ok && list.isObject()) {
        JS::RootedObject array(cx, &list.toObject());
        uint32_t length = 0;
        ok = JS::GetArrayLength(cx, array, &length);
        for (uint32_t i = 0; ok && i < length; ++i)
            ok = JS_GetElement(cx, array, i, &item) && argv.append(item);
    }
    if (ok && stamp)
        ok = argv.append(JS::NumberValue(*stamp));
    JS::RootedObject global(cx, host.GetGlobal());
    const script::RunningFile running(FileOf(cx, callee));
    if (ok)
        ok = JS_CallFunctionValue(cx, global, callee, argv, &result);
    script::PendingError error;
    if (ok)
        return;
    if (!script::TakePendingError(cx, error)) {
        // A stop by the watchdog was reported, with its place, as it happened.
        if (!ScriptWatchdog::IsStopping(cx))
            host.Report(nullptr, 0, 0,
                        "a timer callback was stopped (out of memory or terminated)");
    } else if (frameReports)
        frameReports->Add(error);
    else
        script::Report(error);
}

} // namespace

bool ScriptTimers::Define(JSContext* cx, JSObject* target) {
    JS::RootedObject global(cx, target);
    return JS_DefineFunction(cx, global, "setTimeout", SetTimeout, 2, 0) &&
           JS_DefineFunction(cx, global, "setInterval", SetInterval, 2, 0) &&
           JS_DefineFunction(cx, global, "clearTimeout", ClearTimer, 1, 0) &&
           JS_DefineFunction(cx, global, "clearInterval", ClearTimer, 1, 0) &&
           JS_DefineFunction(cx, global, "requestAnimationFrame", RequestAnimationFrame, 1, 0) &&
           JS_DefineFunction(cx, global, "cancelAnimationFrame", ClearTimer, 1, 0);
}

std::int32_t ScriptTimers::NextId() {
    // Ids run on to 2^31 - 1 and then start again below the ones in use.
    while (timers.count(nextId))
        nextId = nextId == INT32_MAX ? 1 : nextId + 1;
    const std::int32_t id = nextId;
    nextId = nextId == INT32_MAX ? 1 : nextId + 1;
    return id;
}

ScriptTimers::Timer& ScriptTimers::Make(std::int32_t id) {
    Timer& timer = timers[id];
    timer.made = made++;
    return timer;
}

std::int32_t ScriptTimers::Add(ScriptCallback function, ScriptCallback arguments,
                               double delaySeconds, bool repeat) {
    const std::int32_t id = NextId();
    Timer& timer = Make(id);
    timer.function = std::move(function);
    timer.arguments = std::move(arguments);
    timer.due = now + delaySeconds;
    timer.interval = delaySeconds;
    timer.repeat = repeat;
    schedule.emplace(timer.due, timer.made, id);
    return id;
}

std::int32_t ScriptTimers::AddAnimationFrame(ScriptCallback function) {
    const std::int32_t id = NextId();
    Timer& timer = Make(id);
    timer.function = std::move(function);
    timer.animationFrame = true;
    timer.due = now;
    frames.emplace(timer.made, id);
    return id;
}

void ScriptTimers::Remove(std::int32_t id) {
    const auto found = timers.find(id);
    if (found == timers.end())
        return;
    const Timer& timer = found->second;
    if (timer.animationFrame)
        frames.erase(timer.made);
    else
        schedule.erase(Slot(timer.due, timer.made, id));
    timers.erase(found);
}

void ScriptTimers::Update(double dt) {
    if (dt > 0.0)
        now += dt;
    FrameReports reports;
    FrameReports* outer = frameReports;
    frameReports = &reports;
    RunDueTimers();
    RunAnimationFrames();
    frameReports = outer;
}

void ScriptTimers::RunDueTimers() {
    // Taken out first: what the callbacks schedule waits for the next frame.
    std::vector<Slot> due;
    while (!schedule.empty() && std::get<0>(*schedule.begin()) <= now) {
        due.push_back(*schedule.begin());
        schedule.erase(schedule.begin());
    }
    for (const auto& [when, order, id] : due) {
        auto found = timers.find(id);
        // Cleared by a callback before it (its id may even be in use again).
        if (found == timers.end() || found->second.made != order)
            continue;
        // Copies: the callback may clear or replace its own timer.
        const ScriptCallback function = found->second.function;
        const ScriptCallback extra = found->second.arguments;
        if (found->second.repeat) {
            Timer& timer = found->second;
            timer.due += timer.interval;
            // A long frame runs an interval once, not once for each period it missed.
            if (timer.due <= now)
                timer.due = now + timer.interval;
            schedule.emplace(timer.due, timer.made, id);
        } else {
            timers.erase(found);
        }
        Invoke(function, extra, nullptr);
    }
}

void ScriptTimers::RunAnimationFrames() {
    // The frames asked for before this one; those asked for now wait.
    std::map<std::uint64_t, std::int32_t> asked;
    asked.swap(frames);
    const double stamp = now * 1000.0;
    for (const auto& [order, id] : asked) {
        auto found = timers.find(id);
        if (found == timers.end() || found->second.made != order)
            continue;
        const ScriptCallback function = found->second.function;
        timers.erase(found);
        Invoke(function, ScriptCallback(), &stamp);
    }
}

void ScriptTimers::Clear() {
    timers.clear();
    schedule.clear();
    frames.clear();
}
