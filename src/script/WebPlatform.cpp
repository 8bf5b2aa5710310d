#include "script/WebPlatform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <sys/random.h>

#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GCAPI.h>
#include <js/ScalarType.h>
#include <js/StructuredClone.h>
#include <js/ValueArray.h>
#include <js/experimental/TypedData.h>
#include <jsapi.h>
#include <jsfriendapi.h>

#include "script/ScriptErrors.h"
#include "script/ScriptHost.h"
#include "script/ScriptSource.h"
#include "script/ScriptValue.h"

namespace {

// What one call may ask of crypto.getRandomValues, as browsers limit it.
constexpr std::size_t kMaxRandomBytes = 65536;

// performance.now counts from the moment the engine first defined it, on a
// clock that neither game time nor a change of the system's date moves.
struct TimeOrigin {
    std::chrono::steady_clock::time_point steady = std::chrono::steady_clock::now();
    double epochMilliseconds = std::chrono::duration<double, std::milli>(
                                   std::chrono::system_clock::now().time_since_epoch())
                                   .count();
};

const TimeOrigin& Origin() {
    static const TimeOrigin origin;
    return origin;
}

const JSErrorFormatString kTypeError = {"TypeError", "{0}", 1, JSEXN_TYPEERR};

const JSErrorFormatString* TypeErrorFormat(void*, unsigned) {
    return &kTypeError;
}

// Web APIs answer bad arguments with a TypeError, which packages may test for.
bool ThrowTypeError(JSContext* cx, const std::string& message) {
    JS_ReportErrorNumberUTF8(cx, TypeErrorFormat, nullptr, 0, message.c_str());
    return false;
}

// "a Float32Array" for views, which the general description calls objects.
std::string Describe(JSContext* cx, JS::HandleValue value) {
    if (value.isObject() && JS_IsArrayBufferViewObject(&value.toObject()))
        return std::string("a ") + JS::GetClass(&value.toObject())->name;
    return script::DescribeValue(cx, value);
}

bool Now(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    args.rval().set(script::NumberToScript(std::chrono::duration<double, std::milli>(
                                               std::chrono::steady_clock::now() - Origin().steady)
                                               .count()));
    return true;
}

// Straight into the promise job queue: a microtask runs with the promise
// reactions, in order with them, and its exception is reported as uncaught.
bool QueueMicrotask(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (args.length() < 1 || !args[0].isObject() || !JS::IsCallable(&args[0].toObject()))
        return ThrowTypeError(cx, "queueMicrotask: argument 1 must be a function, got " +
                                      Describe(cx, args.get(0)));
    JS::RootedObject job(cx, &args[0].toObject());
    if (!js::EnqueueJob(cx, job))
        return false;
    args.rval().setUndefined();
    return true;
}

// Called for every object the clone cannot take itself: none of them can be
// cloned, and this is the one place that knows which value it was.
bool RefuseToClone(JSContext* cx, JSStructuredCloneWriter*, JS::HandleObject object, bool*,
                   void* closure) {
    std::string& problem = *static_cast<std::string*>(closure);
    if (JS::IsCallable(object)) {
        std::string name;
        JSFunction* function = JS_GetObjectFunction(object);
        JSString* id = function ? JS_GetFunctionDisplayId(function) : nullptr;
        if (id && !script::ToUtf8(cx, id, name))
            return false;
        problem = name.empty() ? "a function cannot be cloned"
                               : "the function " + name + " cannot be cloned";
    } else {
        const std::string type = JS::GetClass(object)->name;
        const bool vowel = std::string("AEIOU").find(type[0]) != std::string::npos;
        problem = (vowel ? "an " : "a ") + type + " object cannot be cloned";
    }
    return false;
}

void RecordCloneError(JSContext*, uint32_t error, void* closure, const char* message) {
    std::string& problem = *static_cast<std::string*>(closure);
    if (!problem.empty())
        return;
    switch (error) {
    case JS_SCERR_RECURSION:
        problem = "the value nests too deeply";
        break;
    case JS_SCERR_TRANSFERABLE:
        problem = "options.transfer must be an array of ArrayBuffers";
        break;
    case JS_SCERR_DUP_TRANSFERABLE:
        problem = "options.transfer names the same ArrayBuffer twice";
        break;
    case JS_SCERR_UNSUPPORTED_TYPE: // objects come to RefuseToClone; this is a symbol
        problem = "a symbol cannot be cloned";
        break;
    case JS_SCERR_TYPED_ARRAY_DETACHED:
        problem = "a typed array's buffer was detached (transferred)";
        break;
    default:
        problem = message && *message ? message : "the value cannot be cloned";
    }
}

bool StructuredClone(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (args.length() < 1)
        return ThrowTypeError(cx, "structuredClone: argument 1 (the value) is missing");
    JS::RootedValue transfer(cx);
    if (args.length() > 1 && !args[1].isNullOrUndefined()) {
        if (!args[1].isObject())
            return ThrowTypeError(cx, "structuredClone: argument 2 must be an object such as "
                                      "{ transfer: [buffer] }, got " +
                                          Describe(cx, args[1]));
        JS::RootedObject options(cx, &args[1].toObject());
        if (!JS_GetProperty(cx, options, "transfer", &transfer))
            return false;
    }
    JSStructuredCloneCallbacks callbacks = {};
    callbacks.write = RefuseToClone;
    callbacks.reportError = RecordCloneError;
    std::string problem;
    JSAutoStructuredCloneBuffer buffer(JS::StructuredCloneScope::SameProcess, &callbacks, &problem);
    JS::RootedValue copy(cx);
    if (buffer.write(cx, args[0], transfer, JS::CloneDataPolicy(), &callbacks, &problem) &&
        buffer.read(cx, &copy, JS::CloneDataPolicy(), &callbacks, &problem)) {
        args.rval().set(copy);
        return true;
    }
    if (JS_IsExceptionPending(cx)) // a getter of the value threw, or out of memory
        return false;
    return script::ThrowNamedError(
        cx, "DataCloneError",
        "structuredClone: " +
            (problem.empty() ? std::string("the value cannot be cloned") : problem));
}

bool FillRandom(std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
        const ssize_t got = getrandom(bytes, count, 0);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes += got;
        count -= static_cast<std::size_t>(got);
    }
    return true;
}

bool IsIntegerArray(JSObject* object) {
    if (!JS_IsTypedArrayObject(object))
        return false;
    switch (JS_GetArrayBufferViewType(object)) {
    case JS::Scalar::Float32:
    case JS::Scalar::Float64:
        return false;
    default:
        return true;
    }
}

bool GetRandomValues(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (args.length() < 1 || !args[0].isObject() || !IsIntegerArray(&args[0].toObject()))
        return ThrowTypeError(cx,
                              "crypto.getRandomValues: argument 1 must be an integer typed array "
                              "(Uint8Array, Int32Array, ...), got " +
                                  Describe(cx, args.get(0)));
    JSObject* array = &args[0].toObject();
    const std::size_t count = JS_GetArrayBufferViewByteLength(array);
    if (count > kMaxRandomBytes)
        return script::ThrowNamedError(cx, "QuotaExceededError",
                                       "crypto.getRandomValues: at most " +
                                           std::to_string(kMaxRandomBytes) +
                                           " bytes at a time, asked for " + std::to_string(count));
    std::vector<std::uint8_t> bytes(count);
    if (!FillRandom(bytes.data(), count)) {
        JS_ReportErrorUTF8(cx, "crypto.getRandomValues: the system's random source failed (%s)",
                           std::strerror(errno));
        return false;
    }
    {
        JS::AutoCheckCannotGC noGC;
        bool shared = false;
        void* data = JS_GetArrayBufferViewData(array, &shared, noGC);
        if (data && count > 0)
            std::memcpy(data, bytes.data(), count);
    }
    args.rval().set(args[0]);
    return true;
}

// The engine's own script: everything that needs nothing from the system.
// `host` carries the natives above and the console's printing functions.
constexpr const char* kSource = R"js((function (host) {
"use strict";
const global = globalThis;
// As Web IDL defines them: writable, configurable, not enumerable.
function define(target, name, value) {
    Object.defineProperty(target, name, { value, writable: true, configurable: true });
}
function named(name, message) {
    const error = new Error(message);
    Object.defineProperty(error, "name", { value: name, writable: true, configurable: true });
    return error;
}
function needs(count, given, what) {
    if (given < count)
        throw new TypeError(`${what}: ${count} argument${count > 1 ? "s are" : " is"} needed, got ${given}`);
}

const performance = {};
define(performance, "now", host.now);
Object.defineProperty(performance, "timeOrigin", { value: host.timeOrigin, enumerable: true });
define(performance, "toJSON", function toJSON() { return { timeOrigin: host.timeOrigin }; });
Object.defineProperty(performance, Symbol.toStringTag, { value: "Performance" });
define(global, "performance", performance);
define(global, "queueMicrotask", host.queueMicrotask);
define(global, "structuredClone", host.structuredClone);

const crypto = {};
define(crypto, "getRandomValues", host.getRandomValues);
define(crypto, "randomUUID", function randomUUID() {
    const bytes = host.getRandomValues(new Uint8Array(16));
    bytes[6] = (bytes[6] & 0x0f) | 0x40; // version 4
    bytes[8] = (bytes[8] & 0x3f) | 0x80; // the RFC 4122 variant
    const hex = Array.from(bytes, (b) => b.toString(16).padStart(2, "0")).join("");
    return `${hex.slice(0, 8)}-${hex.slice(8, 12)}-${hex.slice(12, 16)}-${hex.slice(16, 20)}-${hex.slice(20)}`;
});
Object.defineProperty(crypto, Symbol.toStringTag, { value: "Crypto" });
define(global, "crypto", crypto);
define(global, "self", global);

// UTF-8 of `text` into `bytes` while whole characters fit; a lone surrogate
// is written as U+FFFD.
function encodeInto(text, bytes) {
    let read = 0;
    let written = 0;
    const capacity = bytes.length;
    while (read < text.length) {
        let c = text.charCodeAt(read);
        let units = 1;
        if (c >= 0xd800 && c <= 0xdfff) {
            const next = text.charCodeAt(read + 1);
            if (c <= 0xdbff && next >= 0xdc00 && next <= 0xdfff) {
                c = 0x10000 + ((c - 0xd800) << 10) + (next - 0xdc00);
                units = 2;
            } else {
                c = 0xfffd;
            }
        }
        const size = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (written + size > capacity)
            break;
        if (size === 1) {
            bytes[written++] = c;
        } else {
            bytes[written++] = size === 2 ? 0xc0 | (c >> 6) : size === 3 ? 0xe0 | (c >> 12) : 0xf0 | (c >> 18);
            for (let shift = 6 * (size - 2); shift >= 0; shift -= 6)
                bytes[written++] = 0x80 | ((c >> shift) & 0x3f);
        }
        read += units;
    }
    return { read, written };
}

class TextEncoder {
    get encoding() { return "utf-8"; }
    encode(input = "") {
        const text = `${input}`;
        const bytes = new Uint8Array(text.length * 3);
        return bytes.slice(0, encodeInto(text, bytes).written);
    }
    encodeInto(source, destination) {
        needs(2, arguments.length, "TextEncoder.encodeInto");
        if (!(destination instanceof Uint8Array))
            throw new TypeError("TextEncoder.encodeInto: argument 2 must be a Uint8Array");
        return encodeInto(`${source}`, destination);
    }
}
Object.defineProperty(TextEncoder.prototype, Symbol.toStringTag, { value: "TextEncoder" });

const utf8Labels = ["utf-8", "utf8", "unicode-1-1-utf-8", "unicode11utf8", "unicode20utf8", "x-unicode20utf8"];

function bytesOf(input) {
    if (input === undefined)
        return new Uint8Array(0);
    if (ArrayBuffer.isView(input))
        return new Uint8Array(input.buffer, input.byteOffset, input.byteLength);
    const tag = Object.prototype.toString.call(input);
    if (tag === "[object ArrayBuffer]" || tag === "[object SharedArrayBuffer]")
        return new Uint8Array(input);
    throw new TypeError(`TextDecoder.decode: argument 1 must be an ArrayBuffer, a typed array or a DataView, got ${input === null ? "null" : typeof input}`);
}

// The decoder of the Encoding Standard: each maximal invalid sequence is one
// U+FFFD, and a sequence cut off at the end of a streamed chunk waits for the next.
class TextDecoder {
    #fatal;
    #ignoreBOM;
    #state = null;
    constructor(label = "utf-8", options = undefined) {
        if (!utf8Labels.includes(`${label}`.trim().toLowerCase()))
            throw new RangeError(`TextDecoder: the encoding "${label}" is not supported; the engine decodes UTF-8 only`);
        if (options !== undefined && options !== null && typeof options !== "object")
            throw new TypeError("TextDecoder: argument 2 must be an object such as { fatal: true }");
        this.#fatal = Boolean(options?.fatal);
        this.#ignoreBOM = Boolean(options?.ignoreBOM);
    }
    get encoding() { return "utf-8"; }
    get fatal() { return this.#fatal; }
    get ignoreBOM() { return this.#ignoreBOM; }
    decode(input = undefined, options = undefined) {
        const bytes = bytesOf(input);
        const stream = Boolean(options?.stream);
        const s = this.#state ?? { codePoint: 0, needed: 0, seen: 0, lower: 0x80, upper: 0xbf, started: false };
        this.#state = null;
        let text = "";
        const units = [];
        const emit = (c) => {
            if (!s.started) {
                s.started = true;
                if (c === 0xfeff && !this.#ignoreBOM)
                    return;
            }
            if (c > 0xffff) {
                c -= 0x10000;
                units.push(0xd800 + (c >> 10), 0xdc00 + (c & 0x3ff));
            } else {
                units.push(c);
            }
            if (units.length >= 8192) {
                text += String.fromCharCode.apply(null, units);
                units.length = 0;
            }
        };
        const invalid = () => {
            if (this.#fatal)
                throw new TypeError("TextDecoder.decode: the data is not valid UTF-8");
            emit(0xfffd);
        };
        for (let i = 0; i < bytes.length; ++i) {
            const b = bytes[i];
            if (s.needed === 0) {
                if (b <= 0x7f) {
                    emit(b);
                } else if (b >= 0xc2 && b <= 0xdf) {
                    s.needed = 1;
                    s.codePoint = b & 0x1f;
                } else if (b >= 0xe0 && b <= 0xef) {
                    if (b === 0xe0) s.lower = 0xa0;
                    if (b === 0xed) s.upper = 0x9f;
                    s.needed = 2;
                    s.codePoint = b & 0xf;
                } else if (b >= 0xf0 && b <= 0xf4) {
                    if (b === 0xf0) s.lower = 0x90;
                    if (b === 0xf4) s.upper = 0x8f;
                    s.needed = 3;
                    s.codePoint = b & 0x7;
                } else {
                    invalid();
                }
                continue;
            }
            if (b < s.lower || b > s.upper) {
                s.codePoint = s.needed = s.seen = 0;
                s.lower = 0x80;
                s.upper = 0xbf;
                invalid();
                --i; // the byte starts afresh
                continue;
            }
            s.lower = 0x80;
            s.upper = 0xbf;
            s.codePoint = (s.codePoint << 6) | (b & 0x3f);
            if (++s.seen === s.needed) {
                emit(s.codePoint);
                s.codePoint = s.needed = s.seen = 0;
            }
        }
        if (stream) {
            this.#state = s;
        } else if (s.needed > 0) {
            invalid();
        }
        return text + String.fromCharCode.apply(null, units);
    }
}
Object.defineProperty(TextDecoder.prototype, Symbol.toStringTag, { value: "TextDecoder" });
define(global, "TextEncoder", TextEncoder);
define(global, "TextDecoder", TextDecoder);

const base64 = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
function btoa(data) {
    needs(1, arguments.length, "btoa");
    const text = `${data}`;
    for (let i = 0; i < text.length; ++i)
        if (text.charCodeAt(i) > 0xff)
            throw named("InvalidCharacterError", `btoa: character ${i} (U+${text.charCodeAt(i).toString(16).toUpperCase().padStart(4, "0")}) is outside Latin-1; encode the text as UTF-8 bytes first`);
    let out = "";
    for (let i = 0; i < text.length; i += 3) {
        const rest = text.length - i;
        const n = (text.charCodeAt(i) << 16) | ((rest > 1 ? text.charCodeAt(i + 1) : 0) << 8) | (rest > 2 ? text.charCodeAt(i + 2) : 0);
        out += base64[n >> 18] + base64[(n >> 12) & 63] + (rest > 1 ? base64[(n >> 6) & 63] : "=") + (rest > 2 ? base64[n & 63] : "=");
    }
    return out;
}
function atob(data) {
    needs(1, arguments.length, "atob");
    // Whitespace is allowed anywhere, as browsers allow it.
    let text = `${data}`.replace(/[\t\n\f\r ]+/g, "");
    if (text.length % 4 === 0)
        text = text.replace(/==?$/, "");
    if (text.length % 4 === 1 || /[^A-Za-z0-9+/]/.test(text))
        throw named("InvalidCharacterError", "atob: the string is not valid base64");
    let out = "";
    let bits = 0;
    let count = 0;
    for (let i = 0; i < text.length; ++i) {
        bits = (bits << 6) | base64.indexOf(text[i]);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += String.fromCharCode((bits >> count) & 0xff);
        }
    }
    return out;
}
define(global, "btoa", btoa);
define(global, "atob", atob);

const console = global.console;
const print = host.print;
const printError = host.printError;
const timers = new Map();
const counts = new Map();
const labelOf = (label) => (label === undefined ? "default" : `${label}`);
function elapsed(label, data, end) {
    const key = labelOf(label);
    const start = timers.get(key);
    if (start === undefined) {
        printError(`Timer "${key}" does not exist`);
        return;
    }
    if (end)
        timers.delete(key);
    print(`${key}: ${Number((host.now() - start).toFixed(3))} ms`, ...data);
}
Object.assign(console, {
    time(label) {
        const key = labelOf(label);
        if (timers.has(key))
            printError(`Timer "${key}" already exists`);
        else
            timers.set(key, host.now());
    },
    timeLog(label, ...data) { elapsed(label, data, false); },
    timeEnd(label) { elapsed(label, [], true); },
    assert(condition, ...data) {
        if (condition)
            return;
        if (typeof data[0] === "string")
            data[0] = `Assertion failed: ${data[0]}`;
        else
            data.unshift(data.length ? "Assertion failed:" : "Assertion failed");
        printError(...data);
    },
    count(label) {
        const key = labelOf(label);
        counts.set(key, (counts.get(key) ?? 0) + 1);
        print(`${key}: ${counts.get(key)}`);
    },
    countReset(label) { counts.delete(labelOf(label)); },
});
}))js";

} // namespace

bool WebPlatform::Define(JSContext* cx, JSObject* target) {
    JS::RootedObject global(cx, target);
    JS::RootedObject natives(cx, JS_NewPlainObject(cx));
    JS::RootedValue console(cx), print(cx), printError(cx);
    if (!natives || !JS_GetProperty(cx, global, "console", &console) || !console.isObject())
        return false;
    // The host's console writes; taken now, so that a game replacing them
    // does not change what console.time prints through.
    JS::RootedObject consoleObject(cx, &console.toObject());
    if (!JS_GetProperty(cx, consoleObject, "log", &print) ||
        !JS_GetProperty(cx, consoleObject, "error", &printError) ||
        !JS_DefineFunction(cx, natives, "now", Now, 0, 0) ||
        !JS_DefineFunction(cx, natives, "queueMicrotask", QueueMicrotask, 1, 0) ||
        !JS_DefineFunction(cx, natives, "structuredClone", StructuredClone, 1, 0) ||
        !JS_DefineFunction(cx, natives, "getRandomValues", GetRandomValues, 1, 0) ||
        !JS_DefineProperty(cx, natives, "print", print, 0) ||
        !JS_DefineProperty(cx, natives, "printError", printError, 0) ||
        !JS_DefineProperty(cx, natives, "timeOrigin", Origin().epochMilliseconds, 0))
        return false;

    JS::CompileOptions options(cx);
    options.setFileAndLine(WebPlatform::kScriptName, 1);
    options.setHideScriptFromDebugger(true);
    JS::RootedScript script(cx, script::WithSourceText(cx, kSource, [&](auto& text) {
                                return JS::Compile(cx, options, text);
                            }));
    JS::RootedValue setUp(cx), ignored(cx);
    if (!script || !JS_ExecuteScript(cx, script, &setUp))
        return false;
    JS::RootedValueArray<1> argv(cx);
    argv[0].setObject(*natives);
    return JS_CallFunctionValue(cx, global, setUp, argv, &ignored);
}
