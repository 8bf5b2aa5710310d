#include "script/ModuleLoader.h"

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <utility>

#include <js/Array.h>
#include <js/CompilationAndEvaluation.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/JSON.h>
#include <js/Modules.h>
#include <js/Promise.h>
#include <js/SavedFrameAPI.h>
#include <js/Stack.h>
#include <js/String.h>
#include <jsapi.h>
#include <jsfriendapi.h>
#include <nlohmann/json.hpp>

#include "base/Path.h"
#include "script/CommonJsModules.h"
#include "script/ModuleResolver.h"
#include "script/ScriptClass.h"
#include "script/ScriptErrors.h"
#include "script/ScriptSource.h"
#include "script/ScriptSourceFile.h"
#include "script/TypeScriptEraser.h"

namespace fs = std::filesystem;

namespace {

using script::NewString;
using script::ToUtf8;

constexpr const char* kEngineModule = "marrowvale";
// Keeps a package that exports thousands of names from making a wrapper the
// size of a library.
constexpr size_t kMaxNamedExports = 4096;

ModuleLoader::Impl* active = nullptr;

// Where an import sits: a file and its line and column, counted from 1. An
// import with no file is the entry of a graph.
struct Position {
    std::string file;
    uint32_t line = 0;
    uint32_t column = 0;
};

// Leaves an Error pending that reports at `at`, not where the engine happened
// to be when it noticed.
void ThrowAt(JSContext* cx, const Position& at, const std::string& message) {
    JS::RootedString file(cx, NewString(cx, at.file));
    JS::RootedString text(cx, NewString(cx, message));
    JS::RootedValue error(cx);
    if (!file || !text ||
        !JS::CreateError(cx, JSEXN_ERR, nullptr, file, at.line, at.column, nullptr, text,
                         JS::NothingHandleValue, &error))
        return; // out of memory is pending instead
    JS_SetPendingException(cx, error, JS::ExceptionStackBehavior::DoNotCapture);
}

std::string FileUrl(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : path) {
        if (std::isalnum(c) || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}

bool IsIdentifierName(const std::string& name) {
    if (name.empty() || name.size() > 256 || std::isdigit(static_cast<unsigned char>(name[0])))
        return false;
    for (unsigned char c : name)
        if (!std::isalnum(c) && c != '_' && c != '$')
            return false;
    return true;
}

fs::path Canonical(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(ResolvePath(path), error);
    if (error)
        return fs::path(path);
    fs::path canonical = fs::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal() : canonical;
}

fs::path DefaultBase() {
    return Canonical(std::string(kDefaultResourceFolder) + "Scripts/");
}

bool DynamicImportJob(JSContext* cx, unsigned argc, JS::Value* vp);
bool ReportRejection(JSContext* cx, unsigned argc, JS::Value* vp);

// A file named by the engine rather than imported: a .cts file runs as
// CommonJS, everything else as a module.
ModuleResolution ResolveNamedFile(const std::string& path) {
    ModuleResolution found;
    found.ok = true;
    found.path = Canonical(path);
    found.format = TypeScriptEraser::IsTypeScriptFile(found.path)
                       ? ModuleResolver::FormatOf(found.path)
                       : ModuleFormat::EsModule;
    return found;
}

} // namespace

struct ModuleLoader::Impl {
    struct Record {
        explicit Record(JSContext* cx) : module(cx), exports(cx) {}
        std::string key;
        ModuleFormat format = ModuleFormat::EsModule;
        JS::PersistentRootedObject module;
        // What a CommonJS or JSON wrapper exports, handed over through import.meta.
        JS::PersistentRootedValue exports;
        // Specifier to key, filled while the graph is read: linking only looks up.
        std::map<std::string, std::string> resolved;
    };

    explicit Impl(JSContext* cx)
        : cx(cx), eraser(cx),
          commonJs(
              cx, [this](JS::MutableHandleValue out) { return EngineNames(out); }, &eraser) {}

    // An entry module still running after a top-level await, and since when.
    struct Waiting {
        Waiting(JSContext* cx, const std::string& entry, JSObject* evaluation)
            : entry(entry), evaluation(cx, evaluation) {}
        std::string entry;
        JS::PersistentRootedObject evaluation;
        std::chrono::steady_clock::time_point since = std::chrono::steady_clock::now();
    };

    JSContext* cx;
    std::map<std::string, std::unique_ptr<Record>> records;
    // Kept across Reset: live reload erases only the files that changed.
    TypeScriptEraser eraser;
    CommonJsModules commonJs;
    std::vector<std::unique_ptr<Waiting>> waiting;

    // Whether the module's own evaluation, its top-level await included, has
    // yet to finish; asked of an evaluated module, this only looks.
    bool IsWaiting(const Record& record) {
        if (record.format != ModuleFormat::EsModule)
            return false;
        JS::RootedObject module(cx, record.module);
        JS::RootedValue result(cx);
        if (!JS::ModuleEvaluate(cx, module, &result) || !result.isObject()) {
            JS_ClearPendingException(cx);
            return false;
        }
        JS::RootedObject promise(cx, &result.toObject());
        const JS::PromiseState state = JS::GetPromiseState(promise);
        if (state == JS::PromiseState::Rejected && !JS::SetSettledPromiseIsHandled(cx, promise))
            JS_ClearPendingException(cx);
        return state == JS::PromiseState::Pending;
    }

    // The module at the bottom of what `entry` waits for: one that waits
    // without importing any module that waits.
    std::string WaitedFor(const std::string& entry) {
        std::map<std::string, bool> seen;
        std::vector<std::string> queue{entry};
        std::string blocking = entry;
        for (size_t next = 0; next < queue.size(); ++next) {
            const auto found = records.find(queue[next]);
            if (found == records.end() || !IsWaiting(*found->second))
                continue;
            bool importsWaiting = false;
            for (const auto& [specifier, key] : found->second->resolved) {
                const auto dependency = records.find(key);
                if (dependency != records.end() && IsWaiting(*dependency->second))
                    importsWaiting = true;
                if (!seen[key]) {
                    seen[key] = true;
                    queue.push_back(key);
                }
            }
            if (!importsWaiting)
                return queue[next];
        }
        return blocking;
    }

    static std::string KeyOf(const ModuleResolution& resolution) {
        return resolution.format == ModuleFormat::Engine ? kEngineModule : resolution.path.string();
    }

    // The folder or file an import from code with this private resolves against.
    fs::path BaseOf(JS::HandleValue referencing) {
        std::string name;
        if (referencing.isString() && ToUtf8(cx, referencing.toString(), name)) {
            if (records.count(name) && name != kEngineModule)
                return name;
            std::string problem;
            if (IsRegularFile(ResolvePath(name), problem))
                return Canonical(name);
        }
        JS_ClearPendingException(cx);
        return DefaultBase();
    }

    // `hidden`: text the engine wrote, which a script debugger never shows.
    JSObject* CompileModuleText(const std::string& source, const std::string& fileName,
                                const std::string& key, bool hidden = false) {
        JS::CompileOptions options(cx);
        options.setFileAndLine(fileName.c_str(), 1);
        options.setHideScriptFromDebugger(hidden);
        JS::RootedObject module(cx, script::WithSourceText(cx, source, [&](auto& text) {
                                    return JS::CompileModule(cx, options, text);
                                }));
        JS::RootedString name(cx, module ? NewString(cx, key) : nullptr);
        if (!name)
            return nullptr;
        JS::SetModulePrivate(module, JS::StringValue(name));
        return module;
    }

    // require("marrowvale"): the engine module's namespace.
    bool EngineNames(JS::MutableHandleValue out) {
        ModuleResolution engine;
        engine.ok = true;
        engine.format = ModuleFormat::Engine;
        JS::RootedObject evaluation(cx);
        Record* record = LoadAndEvaluate(engine, Position{}, kEngineModule, &evaluation);
        JS::RootedObject module(cx, record ? record->module.get() : nullptr);
        JSObject* names = module ? JS::GetModuleNamespace(cx, module) : nullptr;
        if (!names)
            return false;
        out.setObject(*names);
        return true;
    }

    // A module whose default export (and, for objects, each name) is `exports`.
    JSObject* CompileWrapper(const std::string& key, JS::HandleValue exports) {
        std::string source = "const m = import.meta.exports;\nexport default m;\n";
        if (exports.isObject()) {
            JS::RootedObject object(cx, &exports.toObject());
            JS::Rooted<JS::IdVector> ids(cx, JS::IdVector(cx));
            if (!JS_Enumerate(cx, object, &ids))
                return nullptr;
            size_t count = 0;
            for (size_t i = 0; i < ids.length() && count < kMaxNamedExports; ++i) {
                if (!ids[i].isString())
                    continue;
                std::string name;
                if (!ToUtf8(cx, ids[i].toString(), name))
                    return nullptr;
                if (!IsIdentifierName(name) || name == "default")
                    continue;
                const std::string local = "e" + std::to_string(count++);
                source += "const " + local + " = m." + name + ";\nexport { " + local + " as " +
                          name + " };\n";
            }
        }
        return CompileModuleText(source, key, key, true);
    }

    std::string EngineSource() const {
        std::string source = "const g = globalThis;\n";
        auto add = [&](const std::string& name) {
            source += "export const " + name + " = g." + name + ";\n";
        };
        for (const script::ScriptClassBase* cls : script::ScriptClassBase::All())
            if (cls->IsRegistered()) {
                add(cls->Name());
                if (cls->GlobalName())
                    add(cls->GlobalName());
            }
        for (const char* name : {"print", "RunFile", "console"})
            add(name);
        return source;
    }

    // Turns the pending exception into one at the import that led to it.
    // `compileError`: the compiler's, whose column counts from 0.
    void FailAt(const Position& at, const std::string& specifier, bool compileError = true) {
        if (at.file.empty())
            return;
        script::PendingError error;
        if (!script::TakePendingError(cx, error, "", compileError))
            error.message = "it could not be loaded (out of memory)";
        if (error.outOfMemory) {
            JS_ReportOutOfMemory(cx); // reported as such, once a frame
            return;
        }
        ThrowAt(cx, at, "cannot load \"" + specifier + "\": " + error.Headline());
    }

    // Reads and compiles one file of a graph into a record (CommonJS files run
    // here). Null with an exception pending on failure.
    Record* Add(const ModuleResolution& found, const Position& at, const std::string& specifier,
                std::vector<std::string>& added) {
        if (found.format == ModuleFormat::NodeBuiltin) {
            ThrowAt(cx, at,
                    "cannot import \"" + specifier +
                        "\": " + CommonJsModules::NeedsBuiltin(found.builtin, fs::path(at.file)));
            return nullptr;
        }
        auto record = std::make_unique<Record>(cx);
        record->key = KeyOf(found);
        record->format = found.format;
        std::string source;
        if (found.format == ModuleFormat::Engine) {
            source = EngineSource();
        } else {
            std::string problem;
            if (!script::ReadSourceFile(record->key, source, problem)) {
                if (at.file.empty())
                    ThrowAt(cx, Position{specifier}, problem);
                else
                    ThrowAt(cx, at, "cannot load \"" + specifier + "\": " + problem);
                return nullptr;
            }
            if (TypeScriptEraser::IsTypeScriptFile(found.path) &&
                !eraser.Erase(record->key, source)) {
                FailAt(at, specifier, false);
                return nullptr;
            }
        }
        JS::RootedObject module(cx);
        JS::RootedValue exports(cx);
        bool ok = true;
        switch (found.format) {
        case ModuleFormat::Engine:
        case ModuleFormat::EsModule:
            module = CompileModuleText(source, record->key, record->key,
                                       found.format == ModuleFormat::Engine);
            ok = module != nullptr;
            break;
        case ModuleFormat::Json:
            ok = commonJs.ParseJson(found.path, source, &exports);
            break;
        case ModuleFormat::Ambiguous: {
            // As Node does for a .js file no package.json types: CommonJS
            // unless only module syntax makes sense of it.
            JS::RootedFunction body(cx, commonJs.Compile(source, record->key));
            if (body) {
                record->format = ModuleFormat::CommonJs;
                ok = commonJs.Exports(found.path, &source, body, &exports);
            } else {
                JS_ClearPendingException(cx);
                record->format = ModuleFormat::EsModule;
                module = CompileModuleText(source, record->key, record->key);
                ok = module != nullptr;
            }
            break;
        }
        default:
            record->format = ModuleFormat::CommonJs;
            ok = commonJs.Exports(found.path, &source, nullptr, &exports);
            break;
        }
        if (ok && !module) {
            record->exports = exports;
            module = CompileWrapper(record->key, exports);
            ok = module != nullptr;
        }
        if (!ok) {
            FailAt(at, specifier);
            return nullptr;
        }
        record->module = module;
        Record* result = record.get();
        records[record->key] = std::move(record);
        added.push_back(result->key);
        return result;
    }

    // Reads the whole graph below `found`: every import is resolved and every
    // file compiled before anything runs. On failure nothing read here stays.
    Record* Load(const ModuleResolution& found, const Position& at, const std::string& specifier,
                 std::vector<std::string>& added) {
        const auto known = records.find(KeyOf(found));
        if (known != records.end())
            return known->second.get();
        if (!Add(found, at, specifier, added))
            return Discard(added);
        JS::RootedObject module(cx);
        JS::RootedObject requests(cx);
        JS::RootedValue request(cx);
        // Index, don't iterate: Add grows the list.
        for (size_t next = 0; next < added.size(); ++next) {
            Record& record = *records[added[next]];
            module = record.module;
            requests = JS::GetRequestedModules(cx, module);
            uint32_t count = 0;
            if (!requests || !JS::GetArrayLength(cx, requests, &count))
                return Discard(added);
            for (uint32_t i = 0; i < count; ++i) {
                std::string wanted;
                if (!JS_GetElement(cx, requests, i, &request) ||
                    !ToUtf8(cx, JS::GetRequestedModuleSpecifier(cx, request), wanted))
                    return Discard(added);
                Position from{record.key};
                JS::GetRequestedModuleSourcePos(cx, request, &from.line, &from.column);
                ++from.column;
                const ModuleResolution target =
                    ModuleResolver::Resolve(wanted, record.key, ModuleResolver::Mode::Import);
                if (!target.ok) {
                    ThrowAt(cx, from, target.error);
                    return Discard(added);
                }
                const std::string key = KeyOf(target);
                record.resolved[wanted] = key;
                if (!records.count(key) && !Add(target, from, wanted, added))
                    return Discard(added);
            }
        }
        return records[added.front()].get();
    }

    Record* Discard(const std::vector<std::string>& added) {
        for (const std::string& key : added)
            records.erase(key);
        return nullptr;
    }

    // Load, link and evaluate; `evaluation` is the module's evaluation promise.
    Record* LoadAndEvaluate(const ModuleResolution& found, const Position& at,
                            const std::string& specifier, JS::MutableHandleObject evaluation) {
        std::vector<std::string> added;
        const ModuleResolver::Scope scope;
        Record* record = Load(found, at, specifier, added);
        if (!record)
            return nullptr;
        JS::RootedObject module(cx, record->module);
        if (!JS::ModuleInstantiate(cx, module)) {
            // A missing export: the engine counts its column from 0 here.
            script::PendingError error;
            if (script::TakePendingError(cx, error, "", true))
                ThrowAt(cx, Position{error.fileName, error.line, error.column}, error.message);
            Discard(added);
            return nullptr;
        }
        JS::RootedValue result(cx);
        if (!JS::ModuleEvaluate(cx, module, &result))
            return nullptr;
        evaluation.set(result.isObject() ? &result.toObject() : nullptr);
        return record;
    }

    // An import() once the script that asked has finished.
    void FinishImport(JS::HandleValue referencing, JS::HandleObject request,
                      JS::HandleObject promise, const Position& at) {
        JS::RootedObject evaluation(cx);
        const script::RunningFile running(at.file);
        std::string specifier;
        bool ok = ToUtf8(cx, JS::GetModuleRequestSpecifier(cx, request), specifier);
        if (ok) {
            const ModuleResolution found = ModuleResolver::Resolve(specifier, BaseOf(referencing),
                                                                   ModuleResolver::Mode::Import);
            if (!found.ok) {
                ThrowAt(cx, at, found.error);
                ok = false;
            } else {
                ok = LoadAndEvaluate(found, at, specifier, &evaluation) != nullptr;
            }
        }
        if (!ok || !evaluation) {
            JS::RootedValue reason(cx);
            if (!JS_GetPendingException(cx, &reason))
                reason.setUndefined();
            JS_ClearPendingException(cx);
            evaluation = JS::CallOriginalPromiseReject(cx, reason);
        }
        if (!evaluation ||
            !JS::FinishDynamicModuleImport(cx, evaluation, referencing, request, promise))
            script::ReportAndClearException(cx);
    }

    // After evaluating an entry module: a failure now is reported now, one
    // after a top-level await when it comes.
    bool Settle(JS::HandleObject evaluation, const std::string& entry) {
        if (!evaluation)
            return true;
        switch (JS::GetPromiseState(evaluation)) {
        case JS::PromiseState::Fulfilled:
            return true;
        case JS::PromiseState::Rejected: {
            JS::RootedValue reason(cx, JS::GetPromiseResult(evaluation));
            if (!JS::SetSettledPromiseIsHandled(cx, evaluation))
                JS_ClearPendingException(cx);
            ReportValue(cx, reason);
            return false;
        }
        default: {
            JS::RootedObject onRejected(
                cx, JS_GetFunctionObject(JS_NewFunction(cx, ReportRejection, 1, 0, "report")));
            if (!onRejected || !JS::CallOriginalPromiseThen(cx, evaluation, nullptr, onRejected))
                script::ReportAndClearException(cx);
            waiting.push_back(std::make_unique<Waiting>(cx, entry, evaluation));
            return true;
        }
        }
    }

    static void ReportValue(JSContext* cx, JS::HandleValue reason) {
        JS::RootedObject stack(cx);
        if (reason.isObject()) {
            JS::RootedObject error(cx, &reason.toObject());
            stack = JS::ExceptionStackOrNull(error);
        }
        JS::SetPendingExceptionStack(cx, JS::ExceptionStack(cx, reason, stack));
        script::ReportAndClearException(cx);
    }

    static JSObject* ResolveHook(JSContext* cx, JS::HandleValue referencing,
                                 JS::HandleObject request) {
        Impl& self = *active;
        std::string from;
        std::string specifier;
        if (!referencing.isString() || !ToUtf8(cx, referencing.toString(), from) ||
            !ToUtf8(cx, JS::GetModuleRequestSpecifier(cx, request), specifier))
            return nullptr;
        const auto importer = self.records.find(from);
        std::string key;
        if (importer != self.records.end() && importer->second->resolved.count(specifier)) {
            key = importer->second->resolved[specifier];
        } else {
            // import() asks too, from code that may be no module at all.
            const ModuleResolution found = ModuleResolver::Resolve(
                specifier, self.BaseOf(referencing), ModuleResolver::Mode::Import);
            if (found.ok)
                key = KeyOf(found);
        }
        const auto record = self.records.find(key);
        if (record != self.records.end())
            return record->second->module;
        JS_ReportErrorUTF8(cx, "the module \"%s\" imported by %s was not loaded", specifier.c_str(),
                           from.c_str());
        return nullptr;
    }

    static bool MetadataHook(JSContext* cx, JS::HandleValue referencing, JS::HandleObject meta) {
        std::string key;
        if (!referencing.isString() || !ToUtf8(cx, referencing.toString(), key))
            return false;
        JS::RootedString url(cx, NewString(cx, key == kEngineModule ? key : FileUrl(key)));
        if (!url || !JS_DefineProperty(cx, meta, "url", url, JSPROP_ENUMERATE))
            return false;
        if (!active)
            return true;
        const auto record = active->records.find(key);
        if (record != active->records.end() && (record->second->format == ModuleFormat::CommonJs ||
                                                record->second->format == ModuleFormat::Json))
            return JS_DefineProperty(cx, meta, "exports", record->second->exports, 0);
        return true;
    }

    // import() may not run anything before the script that called it is
    // done: the work is queued as a promise job.
    static bool DynamicImportHook(JSContext* cx, JS::HandleValue referencing,
                                  JS::HandleObject request, JS::HandleObject promise) {
        JS::RootedObject stack(cx);
        JS::RootedString source(cx);
        Position at;
        if (JS::CaptureCurrentStack(cx, &stack, JS::StackCapture(JS::MaxFrames(1))) && stack &&
            JS::GetSavedFrameSource(cx, nullptr, stack, &source) == JS::SavedFrameResult::Ok &&
            source) {
            ToUtf8(cx, source, at.file);
            JS::GetSavedFrameLine(cx, nullptr, stack, &at.line);
            JS::GetSavedFrameColumn(cx, nullptr, stack, &at.column);
        }
        JS_ClearPendingException(cx);
        JS::RootedString file(cx, NewString(cx, at.file));
        JS::RootedValueArray<6> parts(cx);
        parts[0].set(referencing);
        parts[1].setObject(*request);
        parts[2].setObject(*promise);
        if (file)
            parts[3].setString(file);
        parts[4].setNumber(at.line);
        parts[5].setNumber(at.column);
        JS::RootedObject data(cx, JS::NewArrayObject(cx, parts));
        JSFunction* job =
            data ? js::NewFunctionWithReserved(cx, DynamicImportJob, 0, 0, "import") : nullptr;
        JS::RootedObject jobObject(cx, job ? JS_GetFunctionObject(job) : nullptr);
        if (!jobObject)
            return false;
        js::SetFunctionNativeReserved(jobObject, 0, JS::ObjectValue(*data));
        JS::RootedObject ready(cx, JS::CallOriginalPromiseResolve(cx, JS::UndefinedHandleValue));
        return ready && JS::CallOriginalPromiseThen(cx, ready, jobObject, nullptr);
    }
};

namespace {

bool DynamicImportJob(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    // The callee shares its slot with the result: read it first.
    JS::RootedObject data(cx, &js::GetFunctionNativeReserved(&args.callee(), 0).toObject());
    args.rval().setUndefined();
    JS::RootedValue referencing(cx);
    JS::RootedValue request(cx);
    JS::RootedValue promise(cx);
    JS::RootedValue file(cx);
    JS::RootedValue line(cx);
    JS::RootedValue column(cx);
    if (!JS_GetElement(cx, data, 0, &referencing) || !JS_GetElement(cx, data, 1, &request) ||
        !JS_GetElement(cx, data, 2, &promise) || !JS_GetElement(cx, data, 3, &file) ||
        !JS_GetElement(cx, data, 4, &line) || !JS_GetElement(cx, data, 5, &column))
        return false;
    Position at;
    if (file.isString())
        ToUtf8(cx, file.toString(), at.file);
    at.line = static_cast<uint32_t>(line.toNumber());
    at.column = static_cast<uint32_t>(column.toNumber());
    JS::RootedObject requestObject(cx, &request.toObject());
    JS::RootedObject promiseObject(cx, &promise.toObject());
    if (active)
        active->FinishImport(referencing, requestObject, promiseObject, at);
    return true;
}

bool ReportRejection(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    ModuleLoader::Impl::ReportValue(cx, args.get(0));
    args.rval().setUndefined();
    return true;
}

} // namespace

ModuleLoader::ModuleLoader(JSContext* cx) : impl(std::make_unique<Impl>(cx)) {
    active = impl.get();
    JSRuntime* runtime = JS_GetRuntime(cx);
    JS::SetModuleResolveHook(runtime, &Impl::ResolveHook);
    JS::SetModuleMetadataHook(runtime, &Impl::MetadataHook);
    JS::SetModuleDynamicImportHook(runtime, &Impl::DynamicImportHook);
}

ModuleLoader::~ModuleLoader() {
    JSRuntime* runtime = JS_GetRuntime(impl->cx);
    JS::SetModuleResolveHook(runtime, nullptr);
    JS::SetModuleMetadataHook(runtime, nullptr);
    JS::SetModuleDynamicImportHook(runtime, nullptr);
    Reset();
    if (active == impl.get())
        active = nullptr;
}

bool ModuleLoader::RunFile(const std::string& path) {
    JSContext* cx = impl->cx;
    const ModuleResolution found = ResolveNamedFile(path);
    JS::RootedObject evaluation(cx);
    const script::RunningFile running(path);
    if (!impl->LoadAndEvaluate(found, Position{}, path, &evaluation)) {
        if (!script::ReportAndClearException(cx))
            script::Report({path, 0, 0, "the module could not be run (out of memory)", ""});
        return false;
    }
    const bool settled = impl->Settle(evaluation, found.path.string());
    // Every collection the game makes from now on would walk the stripper's
    // megabytes; the texts it erased stay cached, and a text it has not seen
    // (a later import, an edited file) starts it again.
    impl->eraser.Stop();
    return settled;
}

JSObject* ModuleLoader::Import(const std::string& path) {
    JSContext* cx = impl->cx;
    const ModuleResolution found = ResolveNamedFile(path);
    JS::RootedObject evaluation(cx);
    const script::RunningFile running(path);
    Impl::Record* record = impl->LoadAndEvaluate(found, Position{}, path, &evaluation);
    if (!record)
        return nullptr;
    JS::RootedObject module(cx, record->module);
    return JS::GetModuleNamespace(cx, module);
}

void ModuleLoader::ReportWaiting(std::chrono::steady_clock::time_point now) {
    auto& waiting = impl->waiting;
    for (size_t i = 0; i < waiting.size();) {
        const Impl::Waiting& entry = *waiting[i];
        const bool settled = JS::GetPromiseState(entry.evaluation) != JS::PromiseState::Pending;
        if (!settled && now - entry.since < kWaitingReportDelay) {
            ++i;
            continue;
        }
        if (!settled) {
            const std::string module = impl->WaitedFor(entry.entry);
            const std::string seconds = std::to_string(kWaitingReportDelay.count());
            script::Report({module, 0, 0,
                            module == entry.entry
                                ? "still waiting on its top-level await after " + seconds + " s"
                                : "its top-level await has not settled after " + seconds +
                                      " s, so " + entry.entry +
                                      ", which imports it, has not finished running",
                            ""});
        }
        waiting.erase(waiting.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

bool ModuleLoader::CheckFile(const std::string& path) {
    JSContext* cx = impl->cx;
    std::string source;
    std::string problem;
    const std::string file = Canonical(path).string();
    if (!script::ReadSourceFile(file, source, problem)) {
        script::Report({path, 0, 0, problem, ""});
        return false;
    }
    if (TypeScriptEraser::IsTypeScriptFile(file) && !impl->eraser.Erase(file, source)) {
        script::ReportAndClearException(cx); // its column counts from 1 already
        return false;
    }
    JS::RootedObject module(cx, impl->CompileModuleText(source, file, file));
    if (!module)
        script::ReportAndClearException(cx, "", true);
    return module != nullptr;
}

void ModuleLoader::Reset() {
    impl->waiting.clear();
    impl->records.clear();
    impl->commonJs.Reset();
}

std::vector<std::string> ModuleLoader::GetModuleFiles() const {
    std::vector<std::string> files;
    for (const auto& [key, record] : impl->records)
        if (key != kEngineModule)
            files.push_back(key);
    for (const std::string& file : impl->commonJs.GetFiles())
        if (!impl->records.count(file))
            files.push_back(file);
    return files;
}

std::size_t ModuleLoader::GetModuleCount() const {
    return impl->records.size();
}

TypeScriptEraser& ModuleLoader::GetTypeScriptEraser() {
    return impl->eraser;
}

bool ModuleLoader::IsModuleFile(const std::string& path) {
    const fs::path file(path);
    if (file.extension() == ".mjs" || TypeScriptEraser::IsTypeScriptFile(file))
        return true;
    return file.extension() == ".js" && ModuleResolver::FormatOf(file) == ModuleFormat::EsModule;
}

std::string ModuleLoader::FindGameEntry(const std::string& scriptsFolder) {
    const fs::path folder(ResolvePath(scriptsFolder));
    std::error_code error;
    for (const char* entry : {"main.mjs", "main.ts"})
        if (fs::is_regular_file(folder / entry, error))
            return (folder / entry).string();
    std::ifstream file(folder / "package.json");
    if (!file)
        return std::string();
    const nlohmann::json package = nlohmann::json::parse(file, nullptr, false);
    if (!package.is_object() || !package.contains("main") || !package["main"].is_string())
        return std::string();
    const fs::path main = folder / package["main"].get<std::string>();
    return fs::is_regular_file(main, error) && IsModuleFile(main.string()) ? main.string()
                                                                           : std::string();
}
