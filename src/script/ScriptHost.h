#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "script/ScriptTimers.h"
#include "script/ScriptWatchdog.h"

class JSObject;
struct JSContext;
namespace JS {
class Value;
}
class ModuleLoader;
class ScriptJobQueue;

// Owns the one script context of the program and its global object, runs
// script files, and is the single place where script errors are reported.
//
// Everything runs on the main thread. Engine code that needs the context
// directly (bindings, callbacks) gets it from here; nothing else creates one.
class ScriptHost {
  public:
    // Near its heap limit the engine collects over and over (and may give up
    // its nursery for good): with a 10 MiB limit and 6 MiB of live data a
    // frame took ~140 full collections and ~400 ms instead of under 1 ms.
    // 128 MiB keeps a game with tens of MiB of live script data well clear
    // of that and costs nothing until used (see BM_ScriptFrameTime).
    static constexpr size_t kDefaultHeapLimitBytes = size_t(128) << 20;
    // Keeps minor collections short and frequent; larger nurseries make the
    // engine give up on the nursery earlier under a small limit.
    static constexpr size_t kNurseryLimitBytes = size_t(1) << 20;
    // JS_NewContext takes the limit as a 32-bit byte count.
    static constexpr size_t kMaxHeapLimitBytes = (size_t(4096) << 20) - 1;
    // Long enough for any honest start-up or level load, short enough that a
    // player stuck in an endless loop learns where it is.
    static constexpr double kDefaultScriptTimeoutSeconds = 10.0;

    static ScriptHost& Instance();

    // Script classes queue their registration here during static
    // initialisation; Initialize runs the queue in order.
    static void AddClassRegistration(void (*registration)());

    // Takes effect at Initialize, or at once on a running context.
    void SetHeapLimitBytes(size_t bytes);
    size_t GetHeapLimitBytes() const { return heapLimitBytes; }
    // How long one call from the engine into script (with the promise jobs it
    // leaves) may run before it is stopped and reported; 0: for ever.
    void SetScriptTimeoutSeconds(double seconds) { scriptTimeoutSeconds = seconds; }
    double GetScriptTimeoutSeconds() const { return scriptTimeoutSeconds; }
    ScriptWatchdog& GetWatchdog() { return watchdog; }

    // Creates the context and the global, then registers every queued class.
    // False when the engine cannot start (or was already shut down: the
    // engine cannot be restarted within one process).
    bool Initialize();
    bool IsInitialized() const { return context != nullptr; }

    // Releases every root, destroys the context and shuts the engine down.
    // Harmless when never initialised or already shut down.
    void Shutdown();

    // Runs one file with its first line numbered 1, as editors count. A
    // missing file, a syntax error or an uncaught exception is reported,
    // never propagated. A module file (.mjs, or .js under a package.json
    // saying "type": "module") runs as the entry of its module graph.
    bool RunFile(const std::string& path);
    // Runs the game's entry module, when its scripts folder has one (main.mjs,
    // or what its package.json names in "main"); true when there is none.
    bool RunGameEntry(const std::string& scriptsFolder);
    // Whether the scripts folder has such an entry module: a game written as
    // modules needs neither classic start-up script.
    bool HasGameEntry(const std::string& scriptsFolder) const;
    // Forgets every module loaded so far: the next import reads, links and
    // evaluates the files again (live reload).
    void ResetModules();
    ModuleLoader* GetModules() const;
    // Runs source text the same way; with `result`, the completion value is
    // converted to a string (one byte per character).
    bool Evaluate(const std::string& source, const std::string& fileName,
                  std::string* result = nullptr);
    // Runs the promise jobs and cleanups scripts queued, then reports the
    // rejections nobody handled. Runs by itself whenever the outermost call
    // from the engine into script returns; the frame loop also calls it.
    void RunPendingJobs();
    // Runs one line a developer typed, numbered from 1, and describes its
    // completion value as source text ("3", "\"text\"", "[1, 2]"), so that
    // a string and a number read differently, to `showValue` before the
    // line's promise jobs run. Errors are reported as usual.
    bool EvaluateTypedLine(const std::string& source, const std::string& fileName,
                           const std::function<void(const std::string&)>& showValue);

    // Compiles a script file without running it: false after reporting why
    // (a syntax error with file, line and column, exactly as running it would).
    bool CheckFile(const std::string& path);

    // Text scripts print and every error report also go to these listeners
    // (the developer console), one call per printed line or report.
    using OutputListener = std::function<void(const std::string& line)>;
    void AddOutputListener(const void* owner, OutputListener listener);
    void RemoveOutputListener(const void* owner);
    // What print and console.log write: standard output and the listeners.
    void PrintLine(const std::string& line);
    // What console.warn and console.error write: standard error and the listeners.
    void PrintErrorLine(const std::string& line);

    JSContext* GetContext() const { return context; }
    // setTimeout and its kin; the game logic moves their clock each frame.
    ScriptTimers& GetTimers() { return timers; }
    JSObject* GetGlobal() const;
    // The first line of the most recent report ("file:line:column: message").
    const std::string& GetLastError() const { return lastError; }
    // Its stack trace, one "    at function (file:line:column)" line per
    // frame; empty when the error was not raised inside a function.
    const std::string& GetLastStackTrace() const { return lastStackTrace; }
    // A full collection, done before it returns.
    void CollectGarbage();
    // A full collection spread over frames: StartGarbageCollection does its
    // first slice (after finishing one still running), ContinueGarbageCollection
    // one more slice of the running one, if any. A slice aims at a millisecond.
    void StartGarbageCollection();
    void ContinueGarbageCollection();
    bool IsCollectingGarbage() const;

    // Raises a script error from native code. Inside a script call the
    // script sees an exception (the native must then fail); otherwise the
    // error is reported at once.
    void ReportError(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Reports at once and lets the running script go on.
    void ReportWarning(const char* format, ...) __attribute__((format(printf, 2, 3)));

    // For code that called into script and got a failure back: reports and
    // clears the pending exception, its message after `prefix`. True when
    // there was one. Code below the host calls script::ReportAndClearException.
    bool ReportPendingException(const char* prefix = "");

    // The one formatter: "file:line:column: message", with the line and the
    // column left out when 0 (unknown) and "<no fileName=>" without a file.
    // Kept as the last error and written to standard error, followed by the
    // stack trace when there is one.
    void Report(const char* fileName, unsigned line, unsigned column, const std::string& message,
                const std::string& stackTrace = std::string());

    // Marks a call from the engine into script, so that ReportError knows a
    // script will see the exception it raises; the outermost one is timed.
    class Entry {
      public:
        explicit Entry(ScriptHost& host) : host(host) {
            timed = host.scriptDepth++ == 0 && host.watchdog.BeginCall(host.scriptTimeoutSeconds);
        }
        ~Entry() {
            if (--host.scriptDepth > 0)
                return;
            if (timed)
                host.watchdog.EndCall();
            host.RunPendingJobs();
        }
        Entry(const Entry&) = delete;
        Entry& operator=(const Entry&) = delete;

      private:
        ScriptHost& host;
        bool timed = false;
    };

    // What the host defines on the global object, for the reference.
    struct GlobalFunction {
        const char* name;
        const char* arguments;
        const char* effect;
        const char* typescript; // its declaration
    };
    static const std::vector<GlobalFunction>& GlobalFunctions();

    // A function the engine puts on the global object beside the host's own, where
    // browsers have it (addEventListener): defined at Initialize and listed with
    // them in the reference. Everything else belongs in a class table; call this
    // from a static initialiser of the binding file.
    using GlobalNative = bool (*)(JSContext* cx, unsigned argc, JS::Value* vp);
    static void AddGlobalFunction(const GlobalFunction& function, GlobalNative native,
                                  unsigned argCount);

    // A context configured exactly as the host configures its own (heap and
    // nursery limits, stack quota, self-hosted code). Exposed so benchmarks
    // can measure that configuration on a thread of their own.
    static JSContext* NewConfiguredContext(size_t heapLimitBytes);
    // A global of class "global" with the standard classes, print and
    // console.log; the caller enters its realm.
    static JSObject* NewConfiguredGlobal(JSContext* cx);
    // JS_Init once per process. False after the engine was shut down.
    static bool InitEngine();

  private:
    // Reads a script file into source, or reports why it cannot and returns false.
    bool ReadScript(const std::string& path, std::string& source);
    ScriptHost() = default;
    ScriptHost(const ScriptHost&) = delete;
    ScriptHost& operator=(const ScriptHost&) = delete;

    bool DefineHostFunctions();
    void RegisterClasses();
    // Raises an error in the running script, or reports a warning; with no
    // context yet, straight to the report.
    void Raise(const char* text, bool warning);
    enum class ResultForm { Text, Source, CompileOnly };
    bool Run(const std::string& source, const std::string& fileName, unsigned firstLine,
             std::string* result, ResultForm form);
    void Notify(const std::string& line);

    JSContext* context = nullptr;
    struct Roots;
    Roots* roots = nullptr; // the global and the realm we entered
    std::unique_ptr<ScriptJobQueue> jobs;
    ScriptTimers timers;
    ScriptWatchdog watchdog;
    double scriptTimeoutSeconds = kDefaultScriptTimeoutSeconds;
    std::unique_ptr<ModuleLoader> modules;
    std::string lastError;
    std::string lastStackTrace;
    size_t heapLimitBytes = kDefaultHeapLimitBytes;
    int scriptDepth = 0;
    std::vector<std::pair<const void*, OutputListener>> outputListeners;
};
