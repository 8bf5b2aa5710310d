#pragma once

// Script errors taken from the context and reported, as free functions: code
// that runs script (the module loaders, the host) needs nothing more than the
// context to say what went wrong, and the host alone decides where it is said.

#include <functional>
#include <string>

struct JSContext;
struct JSPrincipals;

namespace script {

// A pending exception taken apart, as a report shows it.
struct PendingError {
    std::string fileName; // empty when unknown
    unsigned line = 0;    // 0 when unknown; counted from 1
    unsigned column = 0;  // 0 when unknown; counted from 1
    std::string message;
    std::string stackTrace;
    bool outOfMemory = false; // said once a frame, see StartFrame
    // "file:line:column: message", with the line and the column left out when
    // 0 (unknown) and "<no fileName=>" without a file.
    std::string Headline() const;
};

// Out of memory leaves no place of its own and fails everything that runs
// after it, so it is reported once a frame, naming the file being run; the
// frame loop calls this as each frame begins.
void StartFrame();

// Names the file whose code runs while it lives (the last one when none runs),
// for reports that carry no place of their own.
class RunningFile {
  public:
    explicit RunningFile(const std::string& file);
    ~RunningFile();
    RunningFile(const RunningFile&) = delete;
    RunningFile& operator=(const RunningFile&) = delete;
};

// The principals of the game's realm, which its context trusts: the script
// engine then records where every throw happened, not only where the first
// fifty did, so a thrown string or number is reported at its line every time.
JSPrincipals* TrustedPrincipals();

// Where reports go. The host installs its own (standard error, its last error
// and its listeners); until then reports are dropped.
using ErrorSink = std::function<void(const PendingError& error)>;
void SetErrorSink(ErrorSink sink);
void Report(const PendingError& error);

// Clears the pending exception into `out` without reporting it, its message
// after `prefix`; a compile error's column is counted from 1 like every other.
// An error raised inside the engine's own script is placed at the game's code
// that called it. False when none is pending.
bool TakePendingError(JSContext* cx, PendingError& out, const char* prefix = "",
                      bool compileError = false);
// For code that called into script and got a failure back: takes the pending
// exception and reports it. True when there was one, or when the watchdog
// stopped the script (that leaves none and was reported as it happened).
bool ReportAndClearException(JSContext* cx, const char* prefix = "", bool compileError = false);
// For code that ran out of memory with no exception to show for it.
void ReportOutOfMemory(JSContext* cx);

// Raises one of the errors the web platform throws as a DOMException of that
// name ("QuotaExceededError", "DataCloneError"): an Error whose `name` says
// which, so that `error.name` tests written for browsers work. Returns false,
// for a native to return.
bool ThrowNamedError(JSContext* cx, const char* name, const std::string& message);

} // namespace script
