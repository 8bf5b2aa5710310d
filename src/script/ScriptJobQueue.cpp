#include "script/ScriptJobQueue.h"

#include <utility>

#include <js/AllocPolicy.h>
#include <js/CallAndConstruct.h>
#include <js/Exception.h>
#include <js/GCAPI.h>
#include <js/GCVector.h>
#include <js/GlobalObject.h>
#include <js/Promise.h>
#include <js/Stack.h>
#include <js/UniquePtr.h>
#include <jsapi.h>
#include <jsfriendapi.h>

#include "script/ScriptErrors.h"
#include "script/ScriptHost.h"

namespace {

using ObjectVector = JS::GCVector<JSObject*, 0, js::SystemAllocPolicy>;
using FunctionVector = JS::GCVector<JSFunction*, 0, js::SystemAllocPolicy>;

// Our own queue rather than the engine's built-in one: it can tell at no
// cost that nothing is queued, which is the case after almost every call
// from the engine into script (the built-in one takes two locks to find out).
class PromiseJobs final : public JS::JobQueue {
  public:
    explicit PromiseJobs(JSContext* cx) : jobs(cx, ObjectVector()) {}

    JSObject* getIncumbentGlobal(JSContext* cx) override { return JS::CurrentGlobalOrNull(cx); }

    bool enqueuePromiseJob(JSContext* cx, JS::HandleObject, JS::HandleObject job, JS::HandleObject,
                           JS::HandleObject) override {
        if (!jobs.append(job)) {
            JS_ReportOutOfMemory(cx);
            return false;
        }
        return true;
    }

    // Jobs queued while draining run in the same drain, in order.
    void runJobs(JSContext* cx) override {
        if (draining)
            return;
        draining = true;
        JS::RootedObject job(cx);
        JS::RootedValue result(cx);
        for (size_t i = 0; i < jobs.length(); ++i) {
            job = jobs[i];
            JSAutoRealm realm(cx, job);
            if (!JS::Call(cx, JS::UndefinedHandleValue, job, JS::HandleValueArray::empty(),
                          &result))
                ScriptHost::Instance().ReportPendingException();
        }
        jobs.clear();
        draining = false;
    }

    bool empty() const override { return jobs.empty(); }

  private:
    // A debugger that runs script in the middle of a job gets a queue of its
    // own for that time.
    class Saved final : public SavedJobQueue {
      public:
        Saved(JSContext* cx, PromiseJobs& queue)
            : queue(queue), jobs(cx, ObjectVector()), draining(queue.draining) {
            std::swap(jobs.get(), queue.jobs.get());
            queue.draining = false;
        }
        ~Saved() override {
            std::swap(jobs.get(), queue.jobs.get());
            queue.draining = draining;
        }

      private:
        PromiseJobs& queue;
        JS::PersistentRooted<ObjectVector> jobs;
        bool draining;
    };

    js::UniquePtr<SavedJobQueue> saveJobQueue(JSContext* cx) override {
        auto saved = js::MakeUnique<Saved>(cx, *this);
        if (!saved)
            JS_ReportOutOfMemory(cx);
        return saved;
    }

    JS::PersistentRooted<ObjectVector> jobs;
    bool draining = false;
};

} // namespace

struct ScriptJobQueue::State {
    explicit State(JSContext* cx)
        : cx(cx), promiseJobs(cx), rejected(cx, ObjectVector()),
          rejectionStacks(cx, ObjectVector()), cleanups(cx, FunctionVector()) {}

    JSContext* cx;
    PromiseJobs promiseJobs;
    // Promises rejected with no handler yet, and where each was rejected:
    // a rejection with a plain value carries no position of its own.
    JS::PersistentRooted<ObjectVector> rejected;
    JS::PersistentRooted<ObjectVector> rejectionStacks;
    JS::PersistentRooted<FunctionVector> cleanups;
    bool running = false;

    static void TrackRejection(JSContext* cx, bool, JS::HandleObject promise,
                               JS::PromiseRejectionHandlingState handling, void* data) {
        State& state = *static_cast<State*>(data);
        if (handling == JS::PromiseRejectionHandlingState::Handled) {
            for (size_t i = 0; i < state.rejected.length(); ++i) {
                if (state.rejected[i] == promise) {
                    state.rejected.erase(state.rejected.begin() + i);
                    state.rejectionStacks.erase(state.rejectionStacks.begin() + i);
                    break;
                }
            }
            return;
        }
        JS::RootedObject stack(cx);
        if (!JS::CaptureCurrentStack(cx, &stack))
            JS_ClearPendingException(cx); // the report then goes without a position
        if (!state.rejected.append(promise) || !state.rejectionStacks.append(stack)) {
            // Out of memory: say so now rather than losing the rejection silently.
            script::ReportOutOfMemory(cx);
        }
    }

    // Called during collection: may only remember the function.
    static void QueueCleanup(JSFunction* doCleanup, JSObject*, void* data) {
        State& state = *static_cast<State*>(data);
        if (!state.cleanups.append(doCleanup))
            ScriptHost::Instance().Report(
                nullptr, 0, 0, "a FinalizationRegistry cleanup was dropped: out of memory");
    }

    // True when any cleanup ran (it may have queued jobs).
    bool RunCleanups() {
        if (cleanups.empty())
            return false;
        JS::Rooted<FunctionVector> due(cx, FunctionVector());
        std::swap(due.get(), cleanups.get());
        JS::RootedFunction function(cx);
        JS::RootedValue result(cx);
        for (JSFunction* f : due) {
            function = f;
            JSAutoRealm realm(cx, JS_GetFunctionObject(function));
            if (!JS_CallFunction(cx, nullptr, function, JS::HandleValueArray::empty(), &result))
                ScriptHost::Instance().ReportPendingException();
        }
        return true;
    }

    void ReportRejections() {
        if (rejected.empty())
            return;
        JS::Rooted<ObjectVector> promises(cx, ObjectVector());
        JS::Rooted<ObjectVector> stacks(cx, ObjectVector());
        std::swap(promises.get(), rejected.get());
        std::swap(stacks.get(), rejectionStacks.get());
        JS::RootedObject promise(cx);
        JS::RootedValue value(cx);
        JS::RootedObject stack(cx);
        for (size_t i = 0; i < promises.length(); ++i) {
            promise = promises[i];
            value = JS::GetPromiseResult(promise);
            // An Error keeps the stack of where it was made, which says more
            // than where the promise happened to be rejected.
            stack = nullptr;
            if (value.isObject()) {
                JS::RootedObject error(cx, &value.toObject());
                stack = JS::ExceptionStackOrNull(error);
            }
            if (!stack)
                stack = stacks[i];
            JS::SetPendingExceptionStack(cx, JS::ExceptionStack(cx, value, stack));
            ScriptHost::Instance().ReportPendingException("unhandled promise rejection: ");
        }
    }
};

bool ScriptJobQueue::Install(JSContext* cx) {
    return js::UseInternalJobQueues(cx);
}

ScriptJobQueue::ScriptJobQueue(JSContext* cx) : state(std::make_unique<State>(cx)) {
    JS::SetJobQueue(cx, &state->promiseJobs);
    JS::SetPromiseRejectionTrackerCallback(cx, &State::TrackRejection, state.get());
    JS::SetHostCleanupFinalizationRegistryCallback(cx, &State::QueueCleanup, state.get());
}

ScriptJobQueue::~ScriptJobQueue() {
    // Nothing runs script after this; the jobs still queued are dropped.
    JS::SetJobQueue(state->cx, nullptr);
    JS::SetPromiseRejectionTrackerCallback(state->cx, nullptr, nullptr);
    JS::SetHostCleanupFinalizationRegistryCallback(state->cx, nullptr, nullptr);
}

void ScriptJobQueue::Run() {
    // A job that runs a file or a callback comes back here; the outer run
    // picks up whatever that queued.
    if (state->running)
        return;
    state->running = true;
    JSContext* cx = state->cx;
    do {
        state->promiseJobs.runJobs(cx);
    } while (state->RunCleanups() || !state->promiseJobs.empty());
    // Objects a WeakRef was read from stay alive until the queue is empty.
    JS::ClearKeptObjects(cx);
    state->ReportRejections();
    state->running = false;
}
