// Script errors taken from the context and reported, as free functions.

#include "script/ScriptErrors.h"

#include <utility>
#include <vector>

#include <js/ErrorReport.h>
#include <js/Exception.h>
#include <js/GCAPI.h>
#include <js/Principals.h>
#include <js/SavedFrameAPI.h>
#include <jsapi.h>

#include "script/ScriptValue.h"
#include "script/ScriptWatchdog.h"
#include "script/WebPlatform.h"

namespace script {

namespace {

// Never destroyed: errors are still reported while static objects go at exit.
ErrorSink& Sink() {
    static ErrorSink* sink = new ErrorSink();
    return *sink;
}

// "    at f (file:line:column)" for each frame, innermost first; frames of
// SpiderMonkey's self-hosted built-ins and of the engine's own script are no
// place a script can fix and are left out. Empty for an error raised by top-level code, whose
// position the headline already gives.
std::string StackTrace(JSContext* cx, JS::HandleObject stack) {
    std::string trace;
    bool inFunction = false;
    int frames = 0;
    JS::RootedObject frame(cx, stack);
    JS::RootedString source(cx);
    JS::RootedString name(cx);
    JS::RootedValue text(cx);
    for (; frame; JS::GetSavedFrameParent(cx, nullptr, frame, &frame)) {
        uint32_t line = 0;
        uint32_t column = 0;
        if (JS::GetSavedFrameSource(cx, nullptr, frame, &source) != JS::SavedFrameResult::Ok ||
            JS::GetSavedFrameLine(cx, nullptr, frame, &line) != JS::SavedFrameResult::Ok ||
            JS::GetSavedFrameColumn(cx, nullptr, frame, &column) != JS::SavedFrameResult::Ok ||
            JS::GetSavedFrameFunctionDisplayName(cx, nullptr, frame, &name) !=
                JS::SavedFrameResult::Ok)
            break;
        std::string file;
        std::string function;
        if (source) {
            text.setString(source);
            script::Stringify(cx, text, file);
        }
        if (file == "self-hosted" || file == WebPlatform::kScriptName)
            continue;
        if (name) {
            text.setString(name);
            script::Stringify(cx, text, function);
            inFunction = true;
        }
        const std::string position = (file.empty() ? std::string("<no fileName=>") : file) + ':' +
                                     std::to_string(line) + ':' + std::to_string(column);
        trace += function.empty() ? "    at " + position + "\n"
                                  : "    at " + function + " (" + position + ")\n";
        ++frames;
    }
    JS_ClearPendingException(cx); // a failed string copy must not leak out
    return inFunction || frames > 1 ? trace : std::string();
}

// The game's code that called into the engine's own script, where an error
// raised there belongs: the first frame of `stack` outside it.
bool CallerPosition(JSContext* cx, JS::HandleObject stack, std::string& file, unsigned& line,
                    unsigned& column) {
    JS::RootedObject frame(cx, stack);
    JS::RootedString source(cx);
    JS::RootedValue text(cx);
    for (; frame; JS::GetSavedFrameParent(cx, nullptr, frame, &frame)) {
        std::string name;
        if (JS::GetSavedFrameSource(cx, nullptr, frame, &source) != JS::SavedFrameResult::Ok)
            break;
        if (source) {
            text.setString(source);
            if (!script::Stringify(cx, text, name))
                break;
        }
        if (name == "self-hosted" || name == WebPlatform::kScriptName)
            continue;
        uint32_t frameLine = 0;
        uint32_t frameColumn = 0;
        if (JS::GetSavedFrameLine(cx, nullptr, frame, &frameLine) != JS::SavedFrameResult::Ok ||
            JS::GetSavedFrameColumn(cx, nullptr, frame, &frameColumn) != JS::SavedFrameResult::Ok)
            break;
        file = name;
        line = frameLine;
        column = frameColumn;
        return true;
    }
    JS_ClearPendingException(cx);
    return false;
}

// A syntax error the compiler found in code a script compiles (eval,
// Function): its position lies in that code, not where its error object was
// made, as it is for every error raised while running.
bool CompiledInScript(JSContext* cx, JS::HandleValue value, const JSErrorReport& report) {
    if (report.exnType != JSEXN_SYNTAXERR || !value.isObject())
        return false;
    JS::RootedObject error(cx, &value.toObject());
    JS::RootedObject made(cx, JS::ExceptionStackOrNull(error));
    uint32_t line = 0;
    uint32_t column = 0;
    if (!made ||
        JS::GetSavedFrameLine(cx, nullptr, made, &line, JS::SavedFrameSelfHosted::Exclude) !=
            JS::SavedFrameResult::Ok ||
        JS::GetSavedFrameColumn(cx, nullptr, made, &column, JS::SavedFrameSelfHosted::Exclude) !=
            JS::SavedFrameResult::Ok)
        return false;
    return line != report.lineno || column != report.column;
}

struct Running {
    std::vector<std::string> files;
    std::string last;
    bool outOfMemorySaid = false;
};

Running& State() {
    static Running* running = new Running();
    return *running;
}

// The engine's own out-of-memory exception is this string, with no stack.
bool IsOutOfMemory(JSContext* cx, const JS::Value& value) {
    bool match = false;
    return value.isString() &&
           JS_StringEqualsLiteral(cx, value.toString(), "out of memory", &match) && match;
}

void DescribeOutOfMemory(JSContext* cx, PendingError& out) {
    const Running& state = State();
    const uint32_t limit = JS_GetGCParameter(cx, JSGC_MAX_BYTES) >> 20;
    out = PendingError();
    out.outOfMemory = true;
    out.fileName = state.last;
    for (const std::string& file : state.files) // the innermost that is known
        if (!file.empty())
            out.fileName = file;
    out.message = "out of memory: the script heap is full (" + std::to_string(limit) +
                  " MiB); keep less alive, or start the game with a larger --script-heap-mb";
}

} // namespace

JSPrincipals* TrustedPrincipals() {
    struct Trusted : JSPrincipals {
        // Held for good: the count never comes back to 0, so the engine never
        // asks an embedding callback to destroy them.
        Trusted() { refcount = 1; }
        bool write(JSContext*, JSStructuredCloneWriter*) override { return false; }
        bool isSystemOrAddonPrincipal() override { return true; }
    };
    static Trusted* principals = new Trusted();
    return principals;
}

void StartFrame() {
    State().outOfMemorySaid = false;
}

RunningFile::RunningFile(const std::string& file) {
    State().files.push_back(file);
}

RunningFile::~RunningFile() {
    Running& state = State();
    if (!state.files.back().empty())
        state.last = state.files.back();
    state.files.pop_back();
}

void SetErrorSink(ErrorSink sink) {
    Sink() = std::move(sink);
}

void Report(const PendingError& error) {
    if (error.outOfMemory) {
        if (State().outOfMemorySaid)
            return;
        State().outOfMemorySaid = true;
    }
    if (Sink())
        Sink()(error);
}

std::string PendingError::Headline() const {
    std::string text = fileName.empty() ? "<no fileName=>" : fileName;
    if (line > 0) {
        text += ':' + std::to_string(line);
        if (column > 0)
            text += ':' + std::to_string(column);
    }
    return text + ": " + message;
}

bool TakePendingError(JSContext* cx, PendingError& out, const char* prefix, bool compileError) {
    if (!cx || !JS_IsExceptionPending(cx))
        return false;
    out = PendingError();
    JS::ExceptionStack exception(cx);
    if (!JS::StealPendingExceptionStack(cx, &exception)) {
        JS_ClearPendingException(cx);
        out.message = "an exception was thrown and could not be retrieved";
        return true;
    }
    if (IsOutOfMemory(cx, exception.exception())) {
        DescribeOutOfMemory(cx, out);
        return true;
    }
    JS::ErrorReportBuilder builder(cx);
    if (!builder.init(cx, exception, JS::ErrorReportBuilder::WithSideEffects)) {
        JS_ClearPendingException(cx);
        out.message = "an exception was thrown and could not be described";
        return true;
    }
    JSErrorReport* report = builder.report();
    // "SyntaxError: ..." and "TypeError: ..." keep their kind; plain errors,
    // which is what the engine itself raises, read as their message.
    std::string message =
        builder.toStringResult() ? builder.toStringResult().c_str() : report->message().c_str();
    static const char kPlainPrefix[] = "Error: ";
    if (message.compare(0, sizeof(kPlainPrefix) - 1, kPlainPrefix) == 0)
        message.erase(0, sizeof(kPlainPrefix) - 1);
    // A rejection already says what happened to the value.
    static const char kValuePrefix[] = "uncaught exception: ";
    if (*prefix && message.compare(0, sizeof(kValuePrefix) - 1, kValuePrefix) == 0)
        message.erase(0, sizeof(kValuePrefix) - 1);
    // Describing the value may have run script (a toString) that threw.
    JS_ClearPendingException(cx);
    const std::string trace = StackTrace(cx, exception.stack());
    const unsigned line = report ? report->lineno : 0;
    // Columns count from 1 as editors do; the engine already does so for
    // everything but the reports of its compiler.
    unsigned column = line && report ? report->column : 0;
    if (line && (compileError || CompiledInScript(cx, exception.exception(), *report)))
        ++column;
    out.fileName = report && report->filename ? report->filename : "";
    out.line = line;
    out.column = column;
    if (out.fileName == WebPlatform::kScriptName &&
        !CallerPosition(cx, exception.stack(), out.fileName, out.line, out.column)) {
        out.line = out.column = 0;
    }
    out.message = prefix + message;
    out.stackTrace = trace;
    return true;
}

bool ReportAndClearException(JSContext* cx, const char* prefix, bool compileError) {
    PendingError error;
    if (!TakePendingError(cx, error, prefix, compileError))
        return ScriptWatchdog::IsStopping(cx); // reported when it was stopped
    Report(error);
    return true;
}

void ReportOutOfMemory(JSContext* cx) {
    PendingError error;
    DescribeOutOfMemory(cx, error);
    Report(error);
}

bool ThrowNamedError(JSContext* cx, const char* name, const std::string& message) {
    JS_ReportErrorUTF8(cx, "%s", message.c_str());
    JS::RootedValue error(cx);
    if (!JS_GetPendingException(cx, &error) || !error.isObject())
        return false;
    JS_ClearPendingException(cx);
    JS::RootedObject object(cx, &error.toObject());
    JS::RootedString text(cx, JS_NewStringCopyZ(cx, name));
    if (!text || !JS_DefineProperty(cx, object, "name", text, 0))
        return false;
    JS_SetPendingException(cx, error);
    return false;
}

} // namespace script
