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
    // Gives a new context the engine's built-in queue, so that promise code
    // cannot bring down a context that never gets a ScriptJobQueue (without
    // any queue the first promise reaction crashes the process). Must come
    // between creating the context and its self-hosted code.
    static bool Install(JSContext* cx);

    // Takes over the jobs of `cx` with a queue of its own, and hooks
    // rejection tracking and finalization cleanup into it.
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
