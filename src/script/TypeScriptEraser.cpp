#include "script/TypeScriptEraser.h"

#include <algorithm>
#include <cstring>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <js/CompilationAndEvaluation.h>
#include <js/Conversions.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/String.h>
#include <js/experimental/TypedData.h>
#include <jsapi.h>

#include "base/Path.h"
#include "script/ScriptErrors.h"
#include "script/ScriptSource.h"
#include "script/ScriptSourceFile.h"
#include "script/TypeScriptCache.h"
#include "script/TypeScriptEraserSource.h"

namespace {

using script::NewString;
using script::ToUtf8;

constexpr const char* kStripperFile = "marrowvale:typescript-eraser.js";

const JSClass kEraserGlobalClass = {"TypeScriptEraser",
                                    JSCLASS_GLOBAL_FLAGS,
                                    &JS::DefaultGlobalClassOps,
                                    nullptr,
                                    nullptr,
                                    nullptr};

// The stripper's bundle is CommonJS written for Node: it asks require() for
// util's TextEncoder and TextDecoder and for node:buffer's Buffer, only to
// turn its WebAssembly from base64 into bytes. These are all it needs.
constexpr const char* kPrelude = R"js((function (host) {
"use strict";
class TextEncoder {
    encode(text = "") { const bytes = new Uint8Array(3 * text.length); return bytes.slice(0, host.encodeInto(`${text}`, bytes)); }
    encodeInto(text, bytes) { const written = host.encodeInto(`${text}`, bytes); return { read: text.length, written }; }
}
class TextDecoder {
    decode(bytes) { return bytes === undefined ? "" : host.decode(bytes); }
}
const builtins = {
    util: { TextEncoder, TextDecoder },
    "node:buffer": { Buffer: { from: (text) => host.decodeBase64(text) } },
};
globalThis.require = (name) => builtins[name];
globalThis.module = { exports: {} };
globalThis.exports = globalThis.module.exports;
}))js";

constexpr const char* kErase = R"js((function (source) {
    return module.exports.transformSync(source, { mode: "strip-only" }).code;
}))js";

// A Uint8Array argument; null (with an error pending) for anything else.
JSObject* Uint8ArrayOf(JSContext* cx, JS::HandleValue value, const char* what) {
    if (value.isObject() && JS_IsUint8Array(&value.toObject()))
        return &value.toObject();
    JS_ReportErrorUTF8(cx, "%s takes a Uint8Array", what);
    return nullptr;
}

bool BytesOf(JSContext* cx, JS::HandleValue value, std::string& bytes, const char* what) {
    JSObject* array = Uint8ArrayOf(cx, value, what);
    if (!array)
        return false;
    JS::AutoCheckCannotGC noGC;
    bool shared = false;
    const auto* data = static_cast<const char*>(JS_GetArrayBufferViewData(array, &shared, noGC));
    bytes.assign(data ? data : "", data ? JS_GetArrayBufferViewByteLength(array) : 0);
    return true;
}

// encodeInto(text, bytes): the UTF-8 of `text` into `bytes`; how many were
// written. The stripper always gives room for three bytes a character.
bool EncodeInto(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string text;
    if (!args.get(0).isString() || !ToUtf8(cx, args[0].toString(), text)) {
        JS_ReportErrorUTF8(cx, "encodeInto takes a string");
        return false;
    }
    JSObject* array = Uint8ArrayOf(cx, args.get(1), "encodeInto");
    if (!array)
        return false;
    JS::AutoCheckCannotGC noGC;
    bool shared = false;
    void* data = JS_GetArrayBufferViewData(array, &shared, noGC);
    const size_t count = std::min(text.size(), JS_GetArrayBufferViewByteLength(array));
    if (data && count > 0)
        std::memcpy(data, text.data(), count);
    args.rval().setNumber(static_cast<double>(count));
    return true;
}

bool Decode(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string bytes;
    if (!BytesOf(cx, args.get(0), bytes, "decode"))
        return false;
    JSString* text = NewString(cx, bytes);
    if (!text)
        return false;
    args.rval().setString(text);
    return true;
}

bool DecodeBase64(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string text;
    if (!args.get(0).isString() || !ToUtf8(cx, args[0].toString(), text)) {
        JS_ReportErrorUTF8(cx, "decodeBase64 takes a string");
        return false;
    }
    static const std::string_view kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::vector<unsigned char> bytes;
    bytes.reserve(text.size() / 4 * 3);
    unsigned bits = 0;
    int count = 0;
    for (char c : text) {
        const size_t digit = kDigits.find(c);
        if (digit == std::string_view::npos)
            continue; // padding
        bits = (bits << 6) | static_cast<unsigned>(digit);
        count += 6;
        if (count >= 8) {
            count -= 8;
            bytes.push_back(static_cast<unsigned char>((bits >> count) & 0xff));
        }
    }
    JS::RootedObject array(cx, JS_NewUint8Array(cx, bytes.size()));
    if (!array)
        return false;
    {
        JS::AutoCheckCannotGC noGC;
        bool shared = false;
        void* data = JS_GetArrayBufferViewData(array, &shared, noGC);
        if (data && !bytes.empty())
            std::memcpy(data, bytes.data(), bytes.size());
    }
    args.rval().setObject(*array);
    return true;
}

// What to write instead of each construct strip-only mode refuses, by the
// start of the stripper's message.
std::string Explain(const std::string& message) {
    static const std::pair<const char*, const char*> kAdvice[] = {
        {"TypeScript enum",
         "`enum` is not supported: the engine runs TypeScript by erasing its types, and an enum "
         "needs code generated; write an `as const` object instead, as in "
         "`const Color = { Red: 0, Green: 1 } as const;`"},
        {"TypeScript namespace",
         "a `namespace` with values is not supported: the engine runs TypeScript by erasing its "
         "types, and a namespace needs code generated; use a module of its own or a plain object"},
        {"`module` keyword",
         "a `module` block with values is not supported: the engine runs TypeScript by erasing its "
         "types, and it needs code generated; use a module of its own or a plain object"},
        {"TypeScript parameter property",
         "a parameter property (an access modifier or `readonly` on a constructor's parameter) is "
         "not supported: the engine runs TypeScript by erasing its types, and it needs code "
         "generated; declare the field in the class and assign it in the constructor"},
        {"TypeScript import equals",
         "`import x = require(...)` is not supported: the engine runs TypeScript by erasing its "
         "types; write `import x from \"...\"`"},
        {"TypeScript export assignment",
         "`export =` is not supported: the engine runs TypeScript by erasing its types; write "
         "`export default`"},
        {"The angle-bracket syntax",
         "a `<T>value` type assertion is not supported by the engine's type stripper; write "
         "`value as T`"},
    };
    for (const auto& [start, advice] : kAdvice)
        if (message.rfind(start, 0) == 0)
            return advice;
    return message;
}

} // namespace

struct TypeScriptEraser::Impl {
    explicit Impl(JSContext* cx)
        : cx(cx), global(cx), erase(cx),
          // The calls below (kPrelude, kErase) are part of what makes a text.
          disk(std::string(TypeScriptEraserVersion()) + "-strip-only-1") {}

    // The stripper's global and its erase function, made on first use.
    bool Start() {
        if (global)
            return true;
        JS::RealmOptions options;
        // A compartment of its own: the game can never reach it, nor it the game.
        options.creationOptions().setNewCompartmentAndZone();
        JS::RootedObject made(cx, JS_NewGlobalObject(cx, &kEraserGlobalClass, nullptr,
                                                     JS::DontFireOnNewGlobalHook, options));
        if (!made)
            return false;
        JSAutoRealm realm(cx, made);
        JS::RootedObject host(cx, JS_NewPlainObject(cx));
        JS::RootedValue prelude(cx), ignored(cx), eraseFunction(cx);
        JS::RootedValueArray<1> argv(cx);
        if (!JS::InitRealmStandardClasses(cx) || !host ||
            !JS_DefineFunction(cx, host, "encodeInto", EncodeInto, 2, 0) ||
            !JS_DefineFunction(cx, host, "decode", Decode, 1, 0) ||
            !JS_DefineFunction(cx, host, "decodeBase64", DecodeBase64, 1, 0) ||
            !Evaluate(kPrelude, &prelude))
            return false;
        argv[0].setObject(*host);
        const std::string_view stripper = TypeScriptEraserSource();
        if (!JS_CallFunctionValue(cx, made, prelude, argv, &ignored) ||
            !Evaluate(std::string(stripper), &ignored) || !Evaluate(kErase, &eraseFunction))
            return false;
        erase = eraseFunction;
        global = made;
        return true;
    }

    bool Evaluate(const std::string& source, JS::MutableHandleValue result) {
        JS::CompileOptions options(cx);
        options.setFileAndLine(kStripperFile, 1);
        options.setHideScriptFromDebugger(true);
        JS::SourceText<mozilla::Utf8Unit> text;
        return text.init(cx, source.data(), source.size(), JS::SourceOwnership::Borrowed) &&
               JS::Evaluate(cx, options, text, result);
    }

    // Inside the stripper's realm: its failure, taken apart.
    struct Failure {
        std::string message;
        bool syntax = false;
        unsigned line = 0;
        unsigned column = 0; // from 1
    };
    Failure TakeFailure() {
        Failure failure;
        JS::RootedValue thrown(cx);
        if (!JS_GetPendingException(cx, &thrown)) {
            failure.message = "the TypeScript stripper failed (out of memory)";
            return failure;
        }
        JS_ClearPendingException(cx);
        JS::RootedValue field(cx);
        JS::RootedObject object(cx, thrown.isObject() ? &thrown.toObject() : nullptr);
        std::string code;
        if (object && JS_GetProperty(cx, object, "code", &field) && field.isString())
            ToUtf8(cx, field.toString(), code);
        if (object && JS_GetProperty(cx, object, "message", &field) && field.isString())
            ToUtf8(cx, field.toString(), failure.message);
        if (object && JS_GetProperty(cx, object, "startLine", &field) && field.isNumber())
            failure.line = static_cast<unsigned>(field.toNumber());
        if (object && JS_GetProperty(cx, object, "startColumn", &field) && field.isNumber())
            failure.column = static_cast<unsigned>(field.toNumber()) + 1;
        JS_ClearPendingException(cx);
        if (failure.message.empty()) {
            JS::RootedString text(cx, JS::ToString(cx, thrown));
            if (!text || !ToUtf8(cx, text, failure.message))
                failure.message = "the TypeScript stripper failed";
            JS_ClearPendingException(cx);
        }
        failure.syntax = code == "InvalidSyntax";
        if (code == "UnsupportedSyntax")
            failure.message = Explain(failure.message);
        return failure;
    }

    // Back in the caller's realm: an error at the failure's place in `file`.
    void Throw(const std::string& file, const Failure& failure) {
        JS::RootedString name(cx, NewString(cx, file));
        JS::RootedString text(cx, NewString(cx, failure.message));
        JS::RootedValue error(cx);
        if (!name || !text ||
            !JS::CreateError(cx, failure.syntax ? JSEXN_SYNTAXERR : JSEXN_ERR, nullptr, name,
                             failure.line, failure.column, nullptr, text, JS::NothingHandleValue,
                             &error))
            return; // out of memory is pending instead
        JS_SetPendingException(cx, error, JS::ExceptionStackBehavior::DoNotCapture);
    }

    JSContext* cx;
    JS::PersistentRootedObject global;
    JS::PersistentRootedValue erase;
    // Erased text by source text: the map hashes the whole content, and a hit
    // compares it whole, so an edit always misses.
    std::unordered_map<std::string, std::string> cache;
    TypeScriptCache disk;
    std::pair<std::string, std::string> diskFor; // the save and resource folders it is for
    std::size_t erased = 0;
};

TypeScriptEraser::TypeScriptEraser(JSContext* cx) : impl(std::make_unique<Impl>(cx)) {}

TypeScriptEraser::~TypeScriptEraser() = default;

bool TypeScriptEraser::IsTypeScriptFile(const std::filesystem::path& file) {
    const std::string extension = file.extension().string();
    return extension == ".ts" || extension == ".mts" || extension == ".cts";
}

bool TypeScriptEraser::Erase(const std::string& fileName, std::string& source) {
    const auto cached = impl->cache.find(source);
    if (cached != impl->cache.end()) {
        source = cached->second;
        return true;
    }
    // Made again only when the game's folders change: a start asks for each file.
    if (impl->diskFor.first != GetSaveFolder() || impl->diskFor.second != GetResourceFolder()) {
        impl->diskFor = {GetSaveFolder(), GetResourceFolder()};
        impl->disk.SetFolder(GetDiskCacheFolder());
    }
    std::string kept;
    if (impl->disk.Load(source, kept)) {
        impl->cache.emplace(source, kept);
        source = std::move(kept);
        return true;
    }
    JSContext* cx = impl->cx;
    if (!impl->Start()) {
        script::PendingError error;
        script::TakePendingError(cx, error);
        JS_ReportErrorUTF8(cx, "%s: the TypeScript stripper could not start: %s", fileName.c_str(),
                           error.Headline().c_str());
        return false;
    }
    std::string erased;
    Impl::Failure failure;
    bool ok = false;
    {
        JSAutoRealm realm(cx, impl->global);
        // As every script file: UTF-8 when it is, else one byte a character.
        const std::string text = script::WithoutByteOrderMark(source);
        JS::RootedString input(cx,
                               mozilla::IsUtf8(mozilla::Span<const char>(text.data(), text.size()))
                                   ? NewString(cx, text)
                                   : JS_NewStringCopyN(cx, text.data(), text.size()));
        JS::RootedValueArray<1> argv(cx);
        JS::RootedValue result(cx);
        if (input)
            argv[0].setString(input);
        JS::RootedObject global(cx, impl->global);
        ok = input && JS_CallFunctionValue(cx, global, impl->erase, argv, &result) &&
             result.isString() && ToUtf8(cx, result.toString(), erased);
        if (!ok)
            failure = impl->TakeFailure();
    }
    if (!ok) {
        impl->Throw(fileName, failure);
        return false;
    }
    ++impl->erased;
    impl->disk.Save(source, erased);
    impl->cache.emplace(source, erased);
    source = std::move(erased);
    return true;
}

std::size_t TypeScriptEraser::GetCachedCount() const {
    return impl->cache.size();
}

void TypeScriptEraser::ClearCache() {
    impl->cache.clear();
}

void TypeScriptEraser::Stop() {
    impl->erase = JS::UndefinedValue();
    impl->global = nullptr;
}

bool TypeScriptEraser::IsStarted() const {
    return impl->global != nullptr;
}

std::filesystem::path TypeScriptEraser::GetDiskCacheFolder() {
    const std::string& saves = GetSaveFolder();
    const std::filesystem::path folder =
        std::filesystem::path(saves.empty() ? GetResourceFolder() : saves) /
        TypeScriptCache::kFolderName;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
    return error ? folder : absolute.lexically_normal();
}

std::size_t TypeScriptEraser::GetErasedCount() const {
    return impl->erased;
}

std::size_t TypeScriptEraser::GetDiskLoadedCount() const {
    return impl->disk.GetLoadedCount();
}
