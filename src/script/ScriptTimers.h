#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "script/ScriptCallback.h"

struct JSContext;
class JSObject;

// setTimeout, setInterval and requestAnimationFrame as JavaScript developers
// know them, counted in game time: the clock moves only when the game logic
// runs a frame, so timers stand still while the per-frame function freezes
// the game and while a debugger holds it. Each callback is a call of its own
// into script, so the promise jobs it queues run before the next callback.
class ScriptTimers {
  public:
    // A game that schedules without end (an interval that doubles itself)
    // meets a script error here instead of eating the machine's memory: timers
    // live outside the script heap and its limit.
    static constexpr std::size_t kMaxPending = 100000;

    // The six functions on the global object (clear and cancel included).
    static bool Define(JSContext* cx, JSObject* global);

    // An id above 0, shared by timeouts, intervals and animation frames.
    // `arguments` holds an array of values passed on to the function, or null.
    std::int32_t Add(ScriptCallback function, ScriptCallback arguments, double delaySeconds,
                     bool repeat);
    std::int32_t AddAnimationFrame(ScriptCallback function);
    // Nothing for an id that is unknown or has already run.
    void Remove(std::int32_t id);
    bool IsFull() const { return timers.size() >= kMaxPending; }

    // Moves game time on by `dt` seconds, runs the timers that fell due in
    // the order they are due (ties in the order they were made), then the
    // animation frames asked for before this frame. Anything a callback
    // schedules waits for the next frame, so a callback that schedules itself
    // at once never holds the frame up.
    void Update(double dt);
    // Forgets every timer (live reload, shutdown); the clock keeps its time.
    void Clear();

    double GetTime() const { return now; }
    std::size_t GetCount() const { return timers.size(); }

  private:
    struct Timer {
        ScriptCallback function;
        ScriptCallback arguments;
        double due = 0.0;
        double interval = 0.0;
        std::uint64_t made = 0; // the order timers were made in; ties run by it
        bool repeat = false;
        bool animationFrame = false;
    };
    // Due time, then the order made: a frame looks only at the timers due,
    // however many wait.
    using Slot = std::tuple<double, std::uint64_t, std::int32_t>;

    std::int32_t NextId();
    Timer& Make(std::int32_t id);
    void RunDueTimers();
    void RunAnimationFrames();

    std::unordered_map<std::int32_t, Timer> timers;
    std::set<Slot> schedule;                      // timeouts and intervals
    std::map<std::uint64_t, std::int32_t> frames; // animation frames by order made
    std::int32_t nextId = 1;
    std::uint64_t made = 0;
    double now = 0.0;
};
