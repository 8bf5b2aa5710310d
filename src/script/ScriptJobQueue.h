#pragma once

#include <memory>

struct JSContext;

// The work scripts leave for later: promise reactions, resumed async
// functions and FinalizationRegistry cleanups. Nothing of it may run while a
// script is on the stack, so the host runs the queue whenever the engine's
// outermost call into script returns, and once per frame.
//
// Promises rejected with no handler by the time the queue is empty are
// reported like uncaught exceptions.
class ScriptJobQueue {
  public:
    // Must come between creating the context and its self-hosted code: the
    // engine accepts a job queue only then. Without one the first promise
    // reaction brings the process down.
    static bool Install(JSContext* cx);

    // Hooks rejection tracking and finalization cleanup into `cx`, whose
    // job queue was installed.
    explicit ScriptJobQueue(JSContext* cx);
    // Unhooks and drops every root; the context must still exist.
    ~ScriptJobQueue();
    ScriptJobQueue(const ScriptJobQueue&) = delete;
    ScriptJobQueue& operator=(const ScriptJobQueue&) = delete;

    // Runs jobs until none are left (jobs may queue more), then reports the
    // rejections nobody handled. Errors go through the host's reporter.
    void Run();

  private:
    struct State;
    std::unique_ptr<State> state;
};
