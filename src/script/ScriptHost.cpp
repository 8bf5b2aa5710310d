#include "script/ScriptHost.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <js/CompilationAndEvaluation.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GCAPI.h>
#include <js/Initialization.h>
#include <js/Principals.h>
#include <js/ScriptPrivate.h>
#include <js/SliceBudget.h>
#include <js/SourceText.h>
#include <js/Warnings.h>
#include <js/friend/ErrorMessages.h>
#include <jsapi.h>
#include <jsfriendapi.h>

#include "base/Path.h"
#include "script/LocalStorage.h"
#include "script/ModuleLoader.h"
#include "script/ScriptClass.h"
#include "script/ScriptErrors.h"
#include "script/ScriptJobQueue.h"
#include "script/ScriptSource.h"
#include "script/ScriptSourceFile.h"
#include "script/ScriptValue.h"
#include "script/WebPlatform.h"

namespace {
// Of a frame of a few milliseconds. SpiderMonkey overruns it now and then;
// measured with a script that keeps 50,000 new objects a frame, longer slices
// only made the slow frames slower (make scenebench, "garbage").
constexpr int64_t kGarbageSliceMilliseconds = 1;

// Never shrink the native stack quota below what the engine's own
// recursion checks need, and stay well inside the 8 MiB main-thread stack.
constexpr size_t kNativeStackQuota = size_t(4) << 20;
constexpr size_t kReportBufferSize = 1024;

enum class EngineState { NotStarted, Running, ShutDown };
EngineState engineState = EngineState::NotStarted;

std::vector<void (*)()>& ClassRegistrations() {
    static std::vector<void (*)()> registrations;
    return registrations;
}

const JSClass kGlobalClass = {
    "global", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};

// The call's arguments as strings, one space apart, as print and console write them.
bool JoinArguments(JSContext* cx, const JS::CallArgs& args, std::string& line) {
    for (unsigned i = 0; i < args.length(); ++i) {
        std::string text;
        if (!script::Stringify(cx, args[i], text))
            return false;
        if (i > 0)
            line += ' ';
        line += text;
    }
    return true;
}

// print(...) and console.log(...).
bool Print(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string line;
    if (!JoinArguments(cx, args, line))
        return false;
    ScriptHost::Instance().PrintLine(line);
    args.rval().setUndefined();
    return true;
}

// console.warn(...) and console.error(...): the same, to standard error.
bool PrintError(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string line;
    if (!JoinArguments(cx, args, line))
        return false;
    ScriptHost::Instance().PrintErrorLine(line);
    args.rval().setUndefined();
    return true;
}

// RunFile(path): never fails, so an error inside the nested file leaves the
// calling script running.
bool RunFileNative(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    args.rval().setUndefined();
    if (args.length() != 1)
        return true;
    std::string path;
    if (args[0].isString()) {
        // A NUL or a character above 255 would name another file than written.
        script::FilePath file;
        if (!script::Convert<script::FilePath>::FromScript(cx, args[0], file)) {
            if (!JS_IsExceptionPending(cx))
                JS_ReportErrorLatin1(cx, "Error in RunFile: argument 1 must be %s.",
                                     script::Convert<script::FilePath>::Name().c_str());
            return false;
        }
        path = std::move(file.path);
    } else if (!script::Stringify(cx, args[0], path)) {
        return false;
    }
    ScriptHost::Instance().RunFile(path);
    // A file stopped for running too long stops its caller too: a loop around
    // RunFile would otherwise be stopped only when an interrupt happened to
    // land in its own code rather than in the file's.
    return !ScriptWatchdog::IsStopping(cx);
}

// Objects whose source text says what they hold; any other object reads as
// its class name.
bool HasSourceForm(const JSClass* type) {
    static const char* const kNames[] = {"Object", "Array",  "Function", "Error",  "Date",
                                         "RegExp", "Number", "String",   "Boolean"};
    for (const char* name : kNames)
        if (std::strcmp(type->name, name) == 0)
            return true;
    return false;
}

void WarningReporter(JSContext*, JSErrorReport* report) {
    // The engine's own note on a script the watchdog stopped; the watchdog
    // reported it already, naming the file and line.
    if (report->errorNumber == JSMSG_TERMINATED)
        return;
    ScriptHost::Instance().Report(report->filename, report->lineno, report->column,
                                  report->message().c_str());
}

} // namespace

struct ScriptHost::Roots {
    JS::PersistentRootedObject global;
    JS::Realm* previousRealm = nullptr;
};

ScriptHost& ScriptHost::Instance() {
    // Never destroyed: component stores and other statics may release
    // script values during exit, after any function-local static would be.
    static ScriptHost* host = [] {
        auto* created = new ScriptHost();
        script::SetErrorSink([created](const script::PendingError& error) {
            created->Report(error.fileName.c_str(), error.line, error.column, error.message,
                            error.stackTrace);
        });
        return created;
    }();
    return *host;
}

void ScriptHost::AddClassRegistration(void (*registration)()) {
    ClassRegistrations().push_back(registration);
}

bool ScriptHost::InitEngine() {
    if (engineState == EngineState::Running)
        return true;
    if (engineState == EngineState::ShutDown)
        return false;
    if (!JS_Init())
        return false;
    engineState = EngineState::Running;
    // The engine's helper threads must be stopped before its own static
    // objects are destroyed at exit, or the process crashes on the way out.
    std::atexit([] {
        ScriptHost::Instance().Shutdown();
        if (engineState == EngineState::Running) {
            JS_ShutDown();
            engineState = EngineState::ShutDown;
        }
    });
    return true;
}

JSContext* ScriptHost::NewConfiguredContext(size_t heapLimitBytes) {
    if (!InitEngine())
        return nullptr;
    if (heapLimitBytes > kMaxHeapLimitBytes)
        heapLimitBytes = kMaxHeapLimitBytes;
    JSContext* cx = JS_NewContext(static_cast<uint32_t>(heapLimitBytes));
    if (!cx)
        return nullptr;
    JS_SetGCParameter(cx, JSGC_MAX_NURSERY_BYTES, static_cast<uint32_t>(kNurseryLimitBytes));
    // Collections, the engine's own and those the heap's growth sets off, come
    // in short slices, not as one long pause.
    JS_SetGCParameter(cx, JSGC_INCREMENTAL_GC_ENABLED, 1);
    JS_SetGCParameter(cx, JSGC_SLICE_TIME_BUDGET_MS,
                      static_cast<uint32_t>(kGarbageSliceMilliseconds));
    JS_SetNativeStackQuota(cx, kNativeStackQuota);
    JS_SetTrustedPrincipals(cx, script::TrustedPrincipals());
    if (!ScriptJobQueue::Install(cx) || !JS::InitSelfHostedCode(cx)) {
        JS_DestroyContext(cx);
        return nullptr;
    }
    JS::SetWarningReporter(cx, WarningReporter);
    return cx;
}

JSObject* ScriptHost::NewConfiguredGlobal(JSContext* cx) {
    JS::RealmOptions options;
    // Script-side caches may hold objects weakly; the job queue runs the
    // cleanups a FinalizationRegistry asks for.
    options.creationOptions().setWeakRefsEnabled(JS::WeakRefSpecifier::EnabledWithoutCleanupSome);
    JS::RootedObject global(cx, JS_NewGlobalObject(cx, &kGlobalClass, script::TrustedPrincipals(),
                                                   JS::FireOnNewGlobalHook, options));
    if (!global)
        return nullptr;
    JSAutoRealm realm(cx, global);
    if (!JS::InitRealmStandardClasses(cx))
        return nullptr;
    if (!JS_DefineFunction(cx, global, "print", Print, 0, 0))
        return nullptr;
    JS::RootedObject console(cx, JS_NewPlainObject(cx));
    if (!console || !JS_DefineFunction(cx, console, "log", Print, 0, 0) ||
        !JS_DefineFunction(cx, console, "info", Print, 0, 0) ||
        !JS_DefineFunction(cx, console, "debug", Print, 0, 0) ||
        !JS_DefineFunction(cx, console, "warn", PrintError, 0, 0) ||
        !JS_DefineFunction(cx, console, "error", PrintError, 0, 0) ||
        !JS_DefineProperty(cx, global, "console", console, 0))
        return nullptr;
    return global;
}

void ScriptHost::SetHeapLimitBytes(size_t bytes) {
    heapLimitBytes = bytes > kMaxHeapLimitBytes ? kMaxHeapLimitBytes : bytes;
    if (context)
        JS_SetGCParameter(context, JSGC_MAX_BYTES, static_cast<uint32_t>(heapLimitBytes));
}

bool ScriptHost::Initialize() {
    if (context)
        return true;
    if (engineState == EngineState::ShutDown) {
        Report(nullptr, 0, 0, "the script engine was shut down and cannot be started again");
        return false;
    }
    context = NewConfiguredContext(heapLimitBytes);
    if (!context) {
        Report(nullptr, 0, 0, "the script engine could not create its context");
        return false;
    }
    if (!watchdog.Initialize(context)) {
        Report(nullptr, 0, 0, "the script engine could not start its watchdog");
        JS_DestroyContext(context);
        context = nullptr;
        return false;
    }
    jobs = std::make_unique<ScriptJobQueue>(context);
    modules = std::make_unique<ModuleLoader>(context);
    roots = new Roots();
    roots->global.init(context, NewConfiguredGlobal(context));
    // Only the game's code is stopped: everything it runs lives in its global's realm.
    watchdog.SetStoppableCheck([this](JSContext* cx) {
        return roots && roots->global &&
               JS::GetCurrentRealmOrNull(cx) == JS::GetObjectRealmOrNull(roots->global);
    });
    if (!roots->global) {
        ReportPendingException();
        Report(nullptr, 0, 0, "the script engine could not create its global object");
        Shutdown();
        return false;
    }
    // Every binding and callback runs in this one realm for the whole run.
    roots->previousRealm = JS::EnterRealm(context, roots->global);
    if (!DefineHostFunctions()) {
        ReportPendingException();
        Shutdown();
        return false;
    }
    RegisterClasses();
    return true;
}

namespace {

struct AddedGlobal {
    const char* name;
    ScriptHost::GlobalNative native;
    unsigned argCount;
};

// Filled by static initialisers, so made on first use.
std::vector<AddedGlobal>& AddedGlobals() {
    static std::vector<AddedGlobal> added;
    return added;
}

} // namespace

bool ScriptHost::DefineHostFunctions() {
    if (!JS_DefineFunction(context, roots->global, "RunFile", RunFileNative, 1, 0) ||
        !ScriptTimers::Define(context, roots->global) ||
        !WebPlatform::Define(context, roots->global))
        return false;
    for (const AddedGlobal& added : AddedGlobals())
        if (!JS_DefineFunction(context, roots->global, added.name, added.native, added.argCount, 0))
            return false;
    return true;
}

void ScriptHost::RegisterClasses() {
    // Registrations may be queued while others run; index, don't iterate.
    auto& registrations = ClassRegistrations();
    for (size_t i = 0; i < registrations.size(); ++i) {
        registrations[i]();
        ReportPendingException();
    }
}

void ScriptHost::Shutdown() {
    if (!context)
        return;
    // The last script has run (objects cleared at exit run their destruct functions).
    LocalStorage::Instance().Flush();
    // Jobs still queued now are dropped: the engine objects they would use
    // may already be gone (every entry into script drains the queue anyway).
    timers.Clear();
    jobs.reset();
    modules.reset();
    script::ScriptClassBase::ReleaseAll();
    if (roots) {
        if (roots->global)
            JS::LeaveRealm(context, roots->previousRealm);
        roots->global.reset();
        delete roots;
        roots = nullptr;
    }
    watchdog.Shutdown();
    // Roots the engine still holds elsewhere (stored callbacks) are reset by
    // the context's destruction; their owners may be destroyed later.
    JS_DestroyContext(context);
    context = nullptr;
    JS_ShutDown();
    engineState = EngineState::ShutDown;
}

namespace {

std::vector<ScriptHost::GlobalFunction>& GlobalFunctionList() {
    static std::vector<ScriptHost::GlobalFunction> functions = {
        {"print", "any number of values",
         "writes them to standard output as strings, one space apart, and ends the line",
         "declare function print(...values: any[]): void;"},
        {"console.log", "any number of values", "the same as `print`",
         "interface Console {\n"
         "    log(...data: any[]): void;\n    info(...data: any[]): void;\n"
         "    debug(...data: any[]): void;\n    warn(...data: any[]): void;\n"
         "    error(...data: any[]): void;\n    time(label?: string): void;\n"
         "    timeLog(label?: string, ...data: any[]): void;\n"
         "    timeEnd(label?: string): void;\n"
         "    assert(condition?: boolean, ...data: any[]): void;\n"
         "    count(label?: string): void;\n    countReset(label?: string): void;\n}\n"
         "declare var console: Console;"},
        {"console.info", "any number of values", "the same as `print`", ""},
        {"console.debug", "any number of values", "the same as `print`", ""},
        {"console.warn", "any number of values",
         "the same as `print`, but to standard error (and the developer console)", ""},
        {"console.error", "any number of values", "the same as `console.warn`", ""},
        {"console.time", "label (default \"default\")",
         "starts a stopwatch of that name on the clock of `performance.now`", ""},
        {"console.timeLog", "label, values",
         "prints \"label: N ms\", the time since `console.time`, and the values", ""},
        {"console.timeEnd", "label", "prints \"label: N ms\" and stops the stopwatch", ""},
        {"console.assert", "condition, values",
         "when the condition is false, writes \"Assertion failed\" and the values to standard "
         "error",
         ""},
        {"console.count", "label", "prints \"label: N\", how often it was called with that label",
         ""},
        {"console.countReset", "label", "starts that label's count again", ""},
        {"performance.now", "none",
         "milliseconds since the engine started, fractions included, on a steady clock that game "
         "time, the debugger and changes of the system's date do not move",
         "interface Performance {\n    now(): number;\n    readonly timeOrigin: number;\n}\n"
         "declare var performance: Performance;"},
        {"performance.timeOrigin", "(a number)",
         "the moment `performance.now` counts from, in milliseconds since 1970 (UTC)", ""},
        {"queueMicrotask", "1: function",
         "calls the function with the promise jobs, once the running script returns to the "
         "engine; its error is reported as uncaught",
         "declare function queueMicrotask(callback: () => void): void;"},
        {"structuredClone", "value, options (`{ transfer: [buffers] }`)",
         "a deep copy of the value as browsers make it (objects, arrays, Map, Set, Date, RegExp, "
         "typed arrays, cycles); a function, symbol or engine object in it throws a "
         "DataCloneError naming it",
         "declare function structuredClone<T = any>(value: T, options?: { transfer?: any[] }): T;"},
        {"TextEncoder", "none (`new TextEncoder()`)",
         "`encode(text)` gives the text's UTF-8 bytes as a Uint8Array; `encodeInto(text, "
         "uint8Array)` writes them and returns `{ read, written }`",
         "interface TextEncoder {\n    readonly encoding: string;\n"
         "    encode(input?: string): Uint8Array;\n"
         "    encodeInto(source: string, destination: Uint8Array): { read: number; written: "
         "number };\n}\n"
         "declare var TextEncoder: { prototype: TextEncoder; new (): TextEncoder };"},
        {"TextDecoder", "label (\"utf-8\", the only encoding), options (`{ fatal, ignoreBOM }`)",
         "`decode(bytes, { stream })` reads UTF-8 from an ArrayBuffer, typed array or DataView; a "
         "leading byte order mark is dropped, invalid bytes read as U+FFFD (a TypeError with "
         "`fatal`)",
         "interface TextDecoder {\n    readonly encoding: string;\n    readonly fatal: boolean;\n"
         "    readonly ignoreBOM: boolean;\n"
         "    decode(input?: ArrayBuffer | ArrayBufferView, options?: { stream?: boolean }): "
         "string;\n}\n"
         "declare var TextDecoder: {\n    prototype: TextDecoder;\n"
         "    new (label?: string, options?: { fatal?: boolean; ignoreBOM?: boolean }): "
         "TextDecoder;\n};"},
        {"btoa", "1: string",
         "the base64 of a string of bytes (characters 0 to 255; others throw an "
         "InvalidCharacterError)",
         "declare function btoa(data: string): string;"},
        {"atob", "1: string",
         "the bytes base64 stands for, as a string; whitespace is skipped, anything else that "
         "is not base64 throws an InvalidCharacterError",
         "declare function atob(data: string): string;"},
        {"crypto.getRandomValues", "1: integer typed array",
         "fills the array in place from the system's random source and returns it; at most "
         "65,536 bytes a call",
         "interface Crypto {\n"
         "    getRandomValues<T extends Int8Array | Uint8Array | Uint8ClampedArray | Int16Array | "
         "Uint16Array | Int32Array | Uint32Array | BigInt64Array | BigUint64Array>(array: T): T;\n"
         "    randomUUID(): `${string}-${string}-${string}-${string}-${string}`;\n}\n"
         "declare var crypto: Crypto;"},
        {"crypto.randomUUID", "none",
         "a random version 4 UUID, such as "
         "\"3b241101-e2bb-4255-8caf-4136c566a962\"",
         ""},
        {"self", "(the global object)", "the same as `globalThis`, which some packages probe",
         "declare var self: typeof globalThis;"},
        {"RunFile", "1: path",
         "runs the script file at `path` (relative to the working folder), a module file "
         "(`.mjs`, or `.js` under a package.json with \"type\": \"module\") as the entry of its "
         "module graph; an error in it is reported and the caller goes on; returns undefined",
         "declare function RunFile(path: string): void;"},
        {"setTimeout", "function, delay in milliseconds (default 0), values passed on",
         "calls the function once, that much game time later (game time stands still while the "
         "game is frozen or paused in the debugger); returns an id for `clearTimeout`",
         "declare function setTimeout<A extends any[]>(handler: (...args: A) => void, delay?: "
         "number, ...args: A): number;"},
        {"setInterval", "function, period in milliseconds (default 0), values passed on",
         "calls the function every period of game time, at most once a frame; returns an id "
         "for `clearInterval`",
         "declare function setInterval<A extends any[]>(handler: (...args: A) => void, delay?: "
         "number, ...args: A): number;"},
        {"clearTimeout", "1: id", "forgets the timer; an id that names none is ignored",
         "declare function clearTimeout(id?: number): void;"},
        {"clearInterval", "1: id", "the same as `clearTimeout`",
         "declare function clearInterval(id?: number): void;"},
        {"requestAnimationFrame", "1: function",
         "calls the function once, in the next frame after the timers, with the game time in "
         "milliseconds; returns an id for `cancelAnimationFrame`",
         "declare function requestAnimationFrame(callback: (time: number) => void): number;"},
        {"cancelAnimationFrame", "1: id", "the same as `clearTimeout`",
         "declare function cancelAnimationFrame(id?: number): void;"},
    };
    return functions;
}

} // namespace

const std::vector<ScriptHost::GlobalFunction>& ScriptHost::GlobalFunctions() {
    return GlobalFunctionList();
}

void ScriptHost::AddGlobalFunction(const GlobalFunction& function, GlobalNative native,
                                   unsigned argCount) {
    GlobalFunctionList().push_back(function);
    AddedGlobals().push_back({function.name, native, argCount});
}

JSObject* ScriptHost::GetGlobal() const {
    return roots ? roots->global.get() : nullptr;
}

void ScriptHost::CollectGarbage() {
    if (context)
        JS_GC(context, JS::GCReason::API);
}

void ScriptHost::StartGarbageCollection() {
    if (!context)
        return;
    // Every call that collects needs its zones chosen first; a running
    // collection keeps the zones it began with.
    if (JS::IsIncrementalGCInProgress(context)) {
        JS::PrepareForIncrementalGC(context);
        JS::FinishIncrementalGC(context, JS::GCReason::API);
    }
    JS::PrepareForFullGC(context);
    JS::StartIncrementalGC(context, JS::GCOptions::Normal, JS::GCReason::API,
                           js::SliceBudget(js::TimeBudget(kGarbageSliceMilliseconds)));
}

void ScriptHost::ContinueGarbageCollection() {
    if (!context || !JS::IsIncrementalGCInProgress(context))
        return;
    JS::PrepareForIncrementalGC(context);
    JS::IncrementalGCSlice(context, JS::GCReason::API,
                           js::SliceBudget(js::TimeBudget(kGarbageSliceMilliseconds)));
}

bool ScriptHost::IsCollectingGarbage() const {
    return context && JS::IsIncrementalGCInProgress(context);
}

void ScriptHost::RunPendingJobs() {
    if (!context || !jobs)
        return;
    // Natives that jobs call raise their errors into the job, like any script.
    const bool timed = scriptDepth == 0 && watchdog.BeginCall(scriptTimeoutSeconds);
    ++scriptDepth;
    jobs->Run();
    --scriptDepth;
    if (timed)
        watchdog.EndCall();
}

bool ScriptHost::ReadScript(const std::string& path, std::string& source) {
    std::string problem;
    // Scripts name files "../resource/..."; with the game elsewhere they come from there.
    if (script::ReadSourceFile(ResolvePath(path), source, problem))
        return true;
    Report(path.c_str(), 0, 0, problem);
    return false;
}

bool ScriptHost::RunFile(const std::string& path) {
    if (modules && ModuleLoader::IsModuleFile(ResolvePath(path))) {
        Entry entry(*this);
        return modules->RunFile(path);
    }
    std::string source;
    return ReadScript(path, source) && Evaluate(source, path);
}

bool ScriptHost::CheckFile(const std::string& path) {
    if (modules && ModuleLoader::IsModuleFile(ResolvePath(path)))
        return modules->CheckFile(path);
    std::string source;
    return ReadScript(path, source) && Run(source, path, 1, nullptr, ResultForm::CompileOnly);
}

bool ScriptHost::RunGameEntry(const std::string& scriptsFolder) {
    const std::string entry = modules ? ModuleLoader::FindGameEntry(scriptsFolder) : std::string();
    if (entry.empty())
        return true;
    Entry scriptCall(*this);
    return modules->RunFile(entry);
}

void ScriptHost::ResetModules() {
    if (modules)
        modules->Reset();
}

bool ScriptHost::HasGameEntry(const std::string& scriptsFolder) const {
    return modules && !ModuleLoader::FindGameEntry(scriptsFolder).empty();
}

ModuleLoader* ScriptHost::GetModules() const {
    return modules.get();
}

bool ScriptHost::Evaluate(const std::string& source, const std::string& fileName,
                          std::string* result) {
    return Run(source, fileName, 1, result, ResultForm::Text);
}

bool ScriptHost::EvaluateTypedLine(const std::string& source, const std::string& fileName,
                                   const std::function<void(const std::string&)>& showValue) {
    // The outer entry holds the line's promise jobs back until its value is
    // shown: a developer reads the value first, then what its promises do.
    Entry entry(*this);
    std::string shown;
    const bool ok = Run(source, fileName, 1, &shown, ResultForm::Source);
    if (ok)
        showValue(shown);
    return ok;
}

bool ScriptHost::Run(const std::string& source, const std::string& fileName, unsigned firstLine,
                     std::string* result, ResultForm form) {
    if (!context) {
        Report(fileName.c_str(), 0, 0, "the script engine is not running");
        return false;
    }
    JSContext* cx = context;
    Entry entry(*this);
    const script::RunningFile running(fileName);

    JS::CompileOptions options(cx);
    options.setFileAndLine(fileName.c_str(), firstLine);

    // Compiled apart from running: a syntax error is the one report whose
    // column the engine counts from 0.
    JS::RootedScript compiled(cx, script::WithSourceText(cx, source, [&](auto& text) {
                                  return JS::Compile(cx, options, text);
                              }));
    if (!compiled) {
        if (!script::ReportAndClearException(cx, "", true))
            Report(fileName.c_str(), 0, 0, "the script could not be compiled (out of memory)");
        return false;
    }
    if (form == ResultForm::CompileOnly)
        return true;
    // import() in this code resolves against the file it names.
    JSString* name =
        JS_NewStringCopyUTF8Z(cx, JS::ConstUTF8CharsZ(fileName.c_str(), fileName.size()));
    if (!name) {
        ReportPendingException();
        return false;
    }
    JS::SetScriptPrivate(compiled, JS::StringValue(name));
    JS::RootedValue value(cx);
    bool ok = JS_ExecuteScript(cx, compiled, &value);
    if (ok && result) {
        if (form == ResultForm::Text) {
            ok = script::Stringify(cx, value, *result);
        } else {
            // Describing an object may run its own toSource or toString; the
            // engine would write undefined as "(void 0)", and an engine object
            // or a promise as an empty "({})".
            JSString* described = nullptr;
            if (value.isUndefined())
                described = JS_NewStringCopyZ(cx, "undefined");
            else if (value.isObject() && !HasSourceForm(JS::GetClass(&value.toObject())))
                described = JS_NewStringCopyZ(
                    cx, ("[object " + std::string(JS::GetClass(&value.toObject())->name) + "]")
                            .c_str());
            else
                described = JS_ValueToSource(cx, value);
            ok = described != nullptr;
            if (ok) {
                value.setString(described);
                ok = script::Stringify(cx, value, *result);
            }
        }
    }
    if (!ok && !ReportPendingException())
        Report(fileName.c_str(), 0, 0, "the script was stopped (out of memory or terminated)");
    return ok;
}

bool ScriptHost::ReportPendingException(const char* prefix) {
    return script::ReportAndClearException(context, prefix);
}

void ScriptHost::Report(const char* fileName, unsigned line, unsigned column,
                        const std::string& message, const std::string& stackTrace) {
    script::PendingError error;
    error.fileName = fileName ? fileName : "";
    error.line = line;
    error.column = column;
    error.message = message;
    lastError = error.Headline();
    lastStackTrace = stackTrace;
    std::fprintf(stderr, "%s\n%s", lastError.c_str(), lastStackTrace.c_str());
    std::fflush(stderr);
    Notify(lastError);
}

void ScriptHost::PrintLine(const std::string& line) {
    const std::string text = line + '\n';
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    Notify(line);
}

void ScriptHost::PrintErrorLine(const std::string& line) {
    const std::string text = line + '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
    Notify(line);
}

void ScriptHost::AddOutputListener(const void* owner, OutputListener listener) {
    RemoveOutputListener(owner);
    outputListeners.emplace_back(owner, std::move(listener));
}

void ScriptHost::RemoveOutputListener(const void* owner) {
    for (auto it = outputListeners.begin(); it != outputListeners.end(); ++it)
        if (it->first == owner) {
            outputListeners.erase(it);
            return;
        }
}

void ScriptHost::Notify(const std::string& line) {
    // A listener only records the text; copying guards against one that
    // removes itself while being told.
    const auto listeners = outputListeners;
    for (const auto& entry : listeners)
        entry.second(line);
}

namespace {
struct ReportText {
    char text[kReportBufferSize];
};

ReportText FormatReport(const char* format, va_list args) {
    ReportText report;
    std::vsnprintf(report.text, sizeof report.text, format, args);
    return report;
}
} // namespace

void ScriptHost::ReportError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const ReportText report = FormatReport(format, args);
    va_end(args);
    Raise(report.text, false);
}

void ScriptHost::ReportWarning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const ReportText report = FormatReport(format, args);
    va_end(args);
    Raise(report.text, true);
}

void ScriptHost::Raise(const char* text, bool warning) {
    if (!context) {
        Report(nullptr, 0, 0, text);
        return;
    }
    if (warning) {
        // The engine fills in the calling script's file and line.
        if (!JS::WarnLatin1(context, "%s", text)) {
            ReportPendingException();
            Report(nullptr, 0, 0, text);
        }
        return;
    }
    JS_ReportErrorLatin1(context, "%s", text);
    // Nobody would see an exception raised outside any script call.
    if (scriptDepth == 0)
        ReportPendingException();
}
