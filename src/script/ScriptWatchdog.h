#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

struct JSContext;

// Stops script that runs too long: a game stuck in an endless loop would
// otherwise freeze its window without a word. One thread watches a deadline
// that the main thread sets and clears with atomic stores, so a call into
// script costs a clock read; when the deadline passes, the thread asks the
// script engine to interrupt, and the interrupt (on the main thread) ends the
// running script in a way it cannot catch.
//
// A limit is either the runaway limit of a call from the engine into script,
// whose end is reported with the file and line it was running (or handed to
// the runaway handler: the debugger), or a budget that code puts around work
// of its own, which ends quietly and is read back with Budget::HasExpired.
class ScriptWatchdog {
  private:
    enum class Kind : uint8_t { Idle, Call, Budget };
    struct Limit {
        Kind kind = Kind::Idle;
        double seconds = 0.0;
        int64_t deadline = 0; // steady-clock nanoseconds; 0: never
        bool stopping = false;
    };

  public:
    ScriptWatchdog() = default;
    ~ScriptWatchdog();
    ScriptWatchdog(const ScriptWatchdog&) = delete;
    ScriptWatchdog& operator=(const ScriptWatchdog&) = delete;

    // Watches `cx` from a thread of its own. False when the engine refuses
    // the interrupt callback or another context is watched already.
    bool Initialize(JSContext* cx);
    // Joins the thread; before the context is destroyed.
    void Shutdown();

    // Given "file:line: the script ran longer than N s"; true when the script
    // may go on (its limit starts again), false to stop it after all. The
    // debugger pauses there.
    using RunawayHandler = std::function<bool(const std::string& problem)>;
    void SetRunawayHandler(RunawayHandler handler) { runawayHandler = std::move(handler); }

    // Whether the code running at an interrupt may be stopped there. The
    // engine's own scripts (the debugger's) must never be cut off half-way:
    // their clean-up would not run. The interrupt comes again while the limit
    // stays passed, and stops the game's code they call.
    using StoppableCheck = std::function<bool(JSContext* cx)>;
    void SetStoppableCheck(StoppableCheck check) { stoppable = std::move(check); }

    // Starts the runaway limit unless a limit runs already; 0 seconds never
    // ends. True when it started one, which EndCall then ends.
    bool BeginCall(double seconds);
    void EndCall();

    // A limit of its own for the work in its scope (0 seconds: none, for time
    // that is not the script's); calls made inside do not replace it. The
    // limit around it is restored after, started again when it counts time.
    class Budget {
      public:
        Budget(ScriptWatchdog& watchdog, double seconds);
        ~Budget();
        Budget(const Budget&) = delete;
        Budget& operator=(const Budget&) = delete;
        // Whether the script inside was stopped because the budget ran out.
        bool HasExpired() const;

      private:
        ScriptWatchdog& watchdog;
        const Limit saved;
    };

    // Whether a script of `cx` ran out of time and is being stopped: callers
    // find its call failed with no exception, and the stop is reported already.
    static bool IsStopping(JSContext* cx);

  private:
    static bool OnInterrupt(JSContext* cx);
    bool HandleInterrupt(JSContext* cx);
    // Stops the running script: reported, or handed to the runaway handler.
    bool StopRunaway(JSContext* cx);
    void MarkStopping();
    // Sets the limit the thread watches; wakes the thread only when the new
    // deadline comes before the time it sleeps until.
    void Set(const Limit& next);
    void Watch();

    JSContext* context = nullptr;
    RunawayHandler runawayHandler;
    StoppableCheck stoppable;
    Limit limit;                        // main thread only
    std::atomic<int64_t> deadline{0};   // what the thread sees of it
    std::atomic<int64_t> sleepUntil{0}; // when the thread looks again
    std::mutex mutex;
    std::condition_variable wake;
    bool quitting = false; // under `mutex`
    std::thread thread;
    static ScriptWatchdog* active;
};
