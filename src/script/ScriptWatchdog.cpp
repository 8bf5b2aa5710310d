#include "script/ScriptWatchdog.h"

#include <chrono>
#include <cstdio>

#include <js/Interrupt.h>
#include <jsapi.h>

#include "base/Platform.h"
#include "script/ScriptErrors.h"

ScriptWatchdog* ScriptWatchdog::active = nullptr;

namespace {

using Clock = std::chrono::steady_clock;

// While nothing is armed the thread still wakes this often: a limit that
// starts later ends later than this, so arming never has to wake it.
constexpr int64_t kIdleNanoseconds = 1000000000;
// A script being stopped is interrupted again this often: native code it
// called may have swallowed the first stop (RunFile never fails) and gone on.
constexpr int64_t kRepeatNanoseconds = 50000000;

// A limit counted in seconds needs no finer clock, and this one is read on
// every call into script.
int64_t Now() {
    return Platform::CoarseSteadyNanoseconds();
}

int64_t DeadlineAfter(double seconds) {
    return seconds > 0.0 ? Now() + static_cast<int64_t>(seconds * 1e9) : 0;
}

// "10", "1.5": seconds as the command line takes them.
std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", seconds);
    return text;
}

} // namespace

ScriptWatchdog::~ScriptWatchdog() {
    Shutdown();
}

bool ScriptWatchdog::Initialize(JSContext* cx) {
    if (context == cx)
        return true;
    if (active || !JS_AddInterruptCallback(cx, OnInterrupt))
        return false;
    context = cx;
    active = this;
    quitting = false;
    thread = std::thread([this] { Watch(); });
    return true;
}

void ScriptWatchdog::Shutdown() {
    if (!thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> lock(mutex);
        quitting = true;
    }
    wake.notify_one();
    thread.join();
    // The interrupt callback stays with the context, which goes next; it
    // finds no watchdog and lets everything run.
    if (active == this)
        active = nullptr;
    context = nullptr;
    limit = Limit();
    deadline = 0;
}

bool ScriptWatchdog::BeginCall(double seconds) {
    if (limit.kind != Kind::Idle)
        return false;
    Limit next;
    next.kind = Kind::Call;
    next.seconds = seconds;
    next.deadline = DeadlineAfter(seconds);
    Set(next);
    return true;
}

void ScriptWatchdog::EndCall() {
    Set(Limit());
}

ScriptWatchdog::Budget::Budget(ScriptWatchdog& watchdog, double seconds)
    : watchdog(watchdog), saved(watchdog.limit) {
    Limit next;
    next.kind = Kind::Budget;
    next.seconds = seconds;
    next.deadline = DeadlineAfter(seconds);
    watchdog.Set(next);
}

ScriptWatchdog::Budget::~Budget() {
    Limit restored = saved;
    if (restored.deadline != 0 && !restored.stopping)
        restored.deadline = DeadlineAfter(restored.seconds);
    watchdog.Set(restored);
}

bool ScriptWatchdog::Budget::HasExpired() const {
    return watchdog.limit.kind == Kind::Budget && watchdog.limit.stopping;
}

bool ScriptWatchdog::IsStopping(JSContext* cx) {
    return active && active->context == cx && active->limit.stopping;
}

void ScriptWatchdog::Set(const Limit& next) {
    limit = next;
    deadline.store(next.deadline, std::memory_order_relaxed);
    // Only a limit shorter than the thread's idle sleep (or one that has ended)
    // can end before it looks again. The fences pair with Watch's: either it
    // sees this deadline, or this sees when it means to wake.
    if (next.deadline == 0 || (!next.stopping && next.seconds * 1e9 >= kIdleNanoseconds))
        return;
    std::atomic_thread_fence(std::memory_order_seq_cst);
    if (next.deadline < sleepUntil.load(std::memory_order_relaxed)) {
        std::lock_guard<std::mutex> lock(mutex);
        wake.notify_one();
    }
}

void ScriptWatchdog::Watch() {
    std::unique_lock<std::mutex> lock(mutex);
    while (!quitting) {
        const int64_t now = Now();
        int64_t until = now + kIdleNanoseconds;
        sleepUntil.store(until, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_seq_cst);
        const int64_t due = deadline.load(std::memory_order_relaxed);
        if (due != 0 && now >= due) {
            JS_RequestInterruptCallback(context);
            until = now + kRepeatNanoseconds;
        } else if (due != 0 && due < until) {
            until = due;
        }
        sleepUntil.store(until, std::memory_order_relaxed);
        wake.wait_until(lock, Clock::time_point(std::chrono::nanoseconds(until)));
    }
}

bool ScriptWatchdog::OnInterrupt(JSContext* cx) {
    return !active || active->context != cx || active->HandleInterrupt(cx);
}

bool ScriptWatchdog::HandleInterrupt(JSContext* cx) {
    // The thread may have asked for a limit that has been replaced since.
    if (limit.kind == Kind::Idle || limit.deadline == 0 || Now() < limit.deadline)
        return true;
    if (stoppable && !stoppable(cx))
        return true;
    if (limit.stopping)
        return false;
    if (limit.kind == Kind::Call)
        return StopRunaway(cx);
    MarkStopping();
    return false;
}

void ScriptWatchdog::MarkStopping() {
    Limit stopped = limit;
    stopped.stopping = true;
    stopped.deadline = Now(); // passed: the thread keeps interrupting until the call ends
    Set(stopped);
}

bool ScriptWatchdog::StopRunaway(JSContext* cx) {
    JS::AutoFilename file;
    unsigned line = 0;
    if (!JS::DescribeScriptedCaller(cx, &file, &line))
        JS_ClearPendingException(cx);
    script::PendingError error;
    error.fileName = file.get() ? file.get() : "";
    error.line = line;
    error.message = "the script ran longer than " + SecondsText(limit.seconds) + " s";
    if (runawayHandler) {
        // The time the handler takes (a developer looking) is not the script's.
        const bool goOn = [&] {
            const Budget untimed(*this, 0.0);
            return runawayHandler(error.Headline());
        }();
        if (goOn)
            return true;
    }
    error.message += " and was stopped";
    script::Report(error);
    MarkStopping();
    return false;
}
