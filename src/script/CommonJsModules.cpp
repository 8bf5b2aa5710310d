#include "script/CommonJsModules.h"

#include <utility>

#include <js/CompilationAndEvaluation.h>
#include <js/JSON.h>
#include <js/ValueArray.h>
#include <jsapi.h>
#include <jsfriendapi.h>

#include "script/ModuleResolver.h"
#include "script/ScriptErrors.h"
#include "script/ScriptSource.h"
#include "script/ScriptSourceFile.h"
#include "script/TypeScriptEraser.h"

namespace fs = std::filesystem;

namespace {

using script::NewString;
using script::ToUtf8;

// The registry whose files are running: require() is a plain native.
CommonJsModules* active = nullptr;

bool RequireNative(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string importer;
    std::string specifier;
    const JS::Value& file = js::GetFunctionNativeReserved(&args.callee(), 0);
    if (!args.get(0).isString()) {
        JS_ReportErrorUTF8(cx, "require() takes a module name or path (a string)");
        return false;
    }
    if (!active || !file.isString() || !ToUtf8(cx, file.toString(), importer) ||
        !ToUtf8(cx, args[0].toString(), specifier))
        return false;
    return active->Require(specifier, importer, args.rval());
}

// The npm package a file belongs to: what follows its last node_modules folder.
std::string PackageOf(const fs::path& file) {
    std::string name;
    bool after = false;
    for (const fs::path& part : file.parent_path()) {
        const std::string text = part.string();
        if (text == "node_modules") {
            after = true;
            name.clear();
        } else if (after) {
            name = name.empty() ? text : name + "/" + text;
            if (name[0] != '@' || name.find('/') != std::string::npos)
                after = false;
        }
    }
    return name;
}

} // namespace

std::string CommonJsModules::NeedsBuiltin(const std::string& builtin, const fs::path& importer) {
    const std::string package = PackageOf(importer);
    const std::string what = "the Node built-in \"" + builtin + "\"";
    return (package.empty() ? "\"" + builtin + "\" is " + what
                            : "the package \"" + package + "\" needs " + what) +
           ", which the engine does not have (only Node itself provides its built-ins)";
}

CommonJsModules::CommonJsModules(JSContext* cx, EngineNames engineNames, TypeScriptEraser* eraser)
    : cx(cx), engineNames(std::move(engineNames)), eraser(eraser) {
    active = this;
}

CommonJsModules::~CommonJsModules() {
    if (active == this)
        active = nullptr;
}

void CommonJsModules::Reset() {
    modules.clear();
}

std::vector<std::string> CommonJsModules::GetFiles() const {
    std::vector<std::string> files;
    for (const auto& [file, module] : modules)
        files.push_back(file);
    return files;
}

JSFunction* CommonJsModules::Compile(const std::string& source, const std::string& fileName) {
    static const char* const kArguments[] = {"exports", "require", "module", "__filename",
                                             "__dirname"};
    JS::CompileOptions options(cx);
    options.setFileAndLine(fileName.c_str(), 1);
    JS::RootedObjectVector scope(cx);
    return script::WithSourceText(cx, script::WithoutByteOrderMark(source), [&](auto& text) {
        return JS::CompileFunction(cx, scope, options, "", 5, kArguments, text);
    });
}

bool CommonJsModules::Run(const fs::path& path, JS::HandleFunction body,
                          JS::MutableHandleValue out) {
    const std::string key = path.string();
    JS::RootedObject module(cx, JS_NewPlainObject(cx));
    JS::RootedObject exports(cx, JS_NewPlainObject(cx));
    JS::RootedString file(cx, NewString(cx, key));
    JS::RootedString folder(cx, NewString(cx, path.parent_path().string()));
    JSFunction* require =
        file ? js::NewFunctionWithReserved(cx, RequireNative, 1, 0, "require") : nullptr;
    JS::RootedObject requireObject(cx, require ? JS_GetFunctionObject(require) : nullptr);
    if (!module || !exports || !folder || !requireObject ||
        !JS_DefineProperty(cx, module, "exports", exports, JSPROP_ENUMERATE) ||
        !JS_DefineProperty(cx, module, "id", file, JSPROP_ENUMERATE) ||
        !JS_DefineProperty(cx, module, "filename", file, JSPROP_ENUMERATE) ||
        !JS_DefineProperty(cx, module, "loaded", JS::FalseHandleValue, JSPROP_ENUMERATE))
        return false;
    js::SetFunctionNativeReserved(requireObject, 0, JS::StringValue(file));
    modules[key] = std::make_unique<JS::PersistentRootedObject>(cx, module);

    JS::RootedValueArray<5> arguments(cx);
    arguments[0].setObject(*exports);
    arguments[1].setObject(*requireObject);
    arguments[2].setObject(*module);
    arguments[3].setString(file);
    arguments[4].setString(folder);
    JS::RootedValue result(cx);
    if (!JS_CallFunction(cx, exports, body, arguments, &result)) {
        modules.erase(key); // a later require tries again, as Node does
        return false;
    }
    return JS_DefineProperty(cx, module, "loaded", JS::TrueHandleValue, JSPROP_ENUMERATE) &&
           JS_GetProperty(cx, module, "exports", out);
}

bool CommonJsModules::ParseJson(const fs::path& path, const std::string& source,
                                JS::MutableHandleValue out) {
    // As every script file: UTF-8 when it is, else one byte per character.
    const std::string bytes = script::WithoutByteOrderMark(source);
    JS::RootedString text(cx, mozilla::IsUtf8(mozilla::Span<const char>(bytes.data(), bytes.size()))
                                  ? NewString(cx, bytes)
                                  : JS_NewStringCopyN(cx, bytes.data(), bytes.size()));
    if (!text)
        return false;
    if (JS_ParseJSON(cx, text, out))
        return true;
    script::PendingError error;
    script::TakePendingError(cx, error);
    JS_ReportErrorUTF8(cx, "%s: %s", path.string().c_str(), error.message.c_str());
    return false;
}

bool CommonJsModules::Cached(const std::string& file, JS::MutableHandleValue out, bool& found) {
    const auto cached = modules.find(file);
    found = cached != modules.end();
    if (!found)
        return true;
    JS::RootedObject module(cx, *cached->second);
    return JS_GetProperty(cx, module, "exports", out);
}

bool CommonJsModules::Read(const fs::path& path, std::string& source) {
    std::string problem;
    if (script::ReadSourceFile(path.string(), source, problem))
        return !eraser || !TypeScriptEraser::IsTypeScriptFile(path) ||
               eraser->Erase(path.string(), source);
    JS_ReportErrorUTF8(cx, "%s: %s", path.string().c_str(), problem.c_str());
    return false;
}

bool CommonJsModules::Exports(const fs::path& path, const std::string* knownSource,
                              JS::HandleFunction compiled, JS::MutableHandleValue out) {
    bool found = false;
    if (!Cached(path.string(), out, found))
        return false;
    if (found)
        return true;
    JS::RootedFunction body(cx, compiled);
    if (!body) {
        std::string source;
        if (!knownSource && !Read(path, source))
            return false;
        body = Compile(knownSource ? *knownSource : source, path.string());
        if (!body)
            return false;
    }
    return Run(path, body, out);
}

bool CommonJsModules::Require(const std::string& specifier, const fs::path& importer,
                              JS::MutableHandleValue out) {
    const ModuleResolution found =
        ModuleResolver::Resolve(specifier, importer, ModuleResolver::Mode::Require);
    if (!found.ok) {
        JS_ReportErrorUTF8(cx, "%s", found.error.c_str());
        return false;
    }
    switch (found.format) {
    case ModuleFormat::NodeBuiltin:
        JS_ReportErrorUTF8(cx, "require(\"%s\"): %s", specifier.c_str(),
                           NeedsBuiltin(found.builtin, importer).c_str());
        return false;
    case ModuleFormat::EsModule:
        JS_ReportErrorUTF8(cx,
                           "require(\"%s\") names the ES module %s, which only import can "
                           "load",
                           specifier.c_str(), found.path.string().c_str());
        return false;
    case ModuleFormat::Engine:
        return engineNames(out);
    case ModuleFormat::Json: {
        bool known = false;
        if (!Cached(found.path.string(), out, known))
            return false;
        if (known)
            return true;
        std::string source;
        if (!Read(found.path, source))
            return false;
        JS::RootedObject module(cx, JS_NewPlainObject(cx));
        if (!module || !ParseJson(found.path, source, out) ||
            !JS_DefineProperty(cx, module, "exports", out, JSPROP_ENUMERATE))
            return false;
        modules[found.path.string()] = std::make_unique<JS::PersistentRootedObject>(cx, module);
        return true;
    }
    default:
        return Exports(found.path, nullptr, nullptr, out);
    }
}
