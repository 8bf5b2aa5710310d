#include "debugger/ScriptDebugger.h"

#include <js/CallAndConstruct.h>
#include <js/CompilationAndEvaluation.h>
#include <js/Conversions.h>
#include <js/Debug.h>
#include <js/SourceText.h>
#include <jsapi.h>
#include <mozilla/Utf8.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "base/Path.h"
#include "core/Core.h"
#include "debugger/DebugAdapterSource.h"
#include "debugger/DebugMessageCheck.h"
#include "debugger/DebugServer.h"
#include "debugger/DebuggerPanel.h"
#include "debugger/PauseScreen.h"
#include "script/ScriptHost.h"
#include "script/ScriptSource.h"
#include "script/ScriptSourceFile.h"
#include "tools/AntBarSystem.h"
#include "window/WindowSystem.h"

ScriptDebugger* ScriptDebugger::running = nullptr;

namespace {

constexpr const char* kAdapterFile = "marrowvale:debugger/DebugAdapter.js";
// The pause loop redraws about this often: the window stays responsive and
// the machine stays cool.
constexpr auto kPausedFrame = std::chrono::milliseconds(16);
constexpr sf::Keyboard::Key kPauseKey = sf::Keyboard::F8;

const JSClass kDebuggerGlobalClass = {
    "DebuggerGlobal", JSCLASS_GLOBAL_FLAGS, &JS::DefaultGlobalClassOps, nullptr, nullptr, nullptr};

bool ArgumentText(JSContext* cx, const JS::CallArgs& args, std::string& text) {
    JS::RootedString string(cx, JS::ToString(cx, args.get(0)));
    return string && script::ToUtf8(cx, string, text);
}

bool HostSend(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string text;
    if (!ArgumentText(cx, args, text))
        return false;
    if (ScriptDebugger* debugger = ScriptDebugger::Get())
        debugger->Send(text);
    args.rval().setUndefined();
    return true;
}

bool HostEnterPauseLoop(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string where;
    if (!ArgumentText(cx, args, where))
        return false;
    ScriptDebugger* debugger = ScriptDebugger::Get();
    args.rval().setBoolean(debugger ? debugger->RunPauseLoop(where) : true);
    return true;
}

bool HostResume(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (ScriptDebugger* debugger = ScriptDebugger::Get())
        debugger->Resume();
    args.rval().setUndefined();
    return true;
}

// Script names are the paths the game wrote ("../resource/Scripts/x.js");
// clients name files by their absolute path.
// host.withTimeBudget(seconds, f): calls f under a time budget of its own; true
// when the budget ran out and the game code f ran was stopped.
bool HostWithTimeBudget(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    double seconds = 0.0;
    if (!JS::ToNumber(cx, args.get(0), &seconds))
        return false;
    ScriptWatchdog::Budget budget(ScriptHost::Instance().GetWatchdog(), seconds);
    JS::RootedValue ignored(cx);
    if (!JS::Call(cx, JS::UndefinedHandleValue, args.get(1), JS::HandleValueArray::empty(),
                  &ignored) &&
        !budget.HasExpired())
        return false;
    // A stop that reached the debugger's own code still answers the request.
    JS_ClearPendingException(cx);
    args.rval().setBoolean(budget.HasExpired());
    return true;
}

bool HostCanonical(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string path;
    if (!ArgumentText(cx, args, path))
        return false;
    std::error_code error;
    const std::filesystem::path resolved =
        std::filesystem::weakly_canonical(ResolvePath(path), error);
    JSString* result = script::NewString(cx, error ? path : resolved.string());
    if (!result)
        return false;
    args.rval().setString(result);
    return true;
}

// host.readSource(path): the file's text as the loaders decode it (UTF-8 when
// it is, else one byte a character, no byte order mark), or null when it cannot
// be read. TypeScript runs erased, so its own text is only on disk.
bool HostReadSource(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string path;
    if (!ArgumentText(cx, args, path))
        return false;
    std::string bytes;
    std::string problem;
    if (!script::ReadSourceFile(ResolvePath(path), bytes, problem)) {
        args.rval().setNull();
        return true;
    }
    const std::string text = script::WithoutByteOrderMark(bytes);
    JSString* result = mozilla::IsUtf8(mozilla::Span<const char>(text.data(), text.size()))
                           ? script::NewString(cx, text)
                           : JS_NewStringCopyN(cx, text.data(), text.size());
    if (!result)
        return false;
    args.rval().setString(result);
    return true;
}

// Game scripts recover from running out of memory because the frame loop collects garbage often;
// a stopped game runs no frames, so after an evaluation ran out the debugger collects at once.
bool HostCollectGarbage(JSContext*, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    ScriptHost::Instance().CollectGarbage();
    args.rval().setUndefined();
    return true;
}

bool HostLog(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    std::string text;
    if (!ArgumentText(cx, args, text))
        return false;
    std::fprintf(stderr, "Debugger: %s\n", text.c_str());
    args.rval().setUndefined();
    return true;
}

std::string ScriptsFolder() {
    std::error_code error;
    std::string folder = std::filesystem::weakly_canonical(
                             ResolvePath(Core::Instance().GetResourcePath("Scripts")), error)
                             .string();
    return folder + "/";
}

} // namespace

struct ScriptDebugger::Script {
    JSContext* cx = nullptr;
    JS::PersistentRootedObject global;
};

ScriptDebugger::ScriptDebugger() = default;

ScriptDebugger::~ScriptDebugger() {
    Shutdown();
}

bool ScriptDebugger::Initialize(std::uint16_t port, std::string& problem) {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx) {
        problem = "the script engine is not running";
        return false;
    }
    server = std::make_unique<DebugServer>();
    if (!server->Listen(port, problem))
        return false;

    script = std::make_unique<Script>();
    script->cx = cx;
    JS::RealmOptions options;
    // A compartment of its own: the game's code can never reach the debugger's.
    options.creationOptions().setNewCompartmentAndZone();
    script->global.init(cx, JS_NewGlobalObject(cx, &kDebuggerGlobalClass, nullptr,
                                               JS::DontFireOnNewGlobalHook, options));
    if (!script->global) {
        host.ReportPendingException("Debugger: ");
        problem = "the debugger's global could not be made";
        return false;
    }
    JS::RootedObject game(cx, host.GetGlobal());
    bool ready = false;
    {
        JSAutoRealm realm(cx, script->global);
        JS::RootedObject hostObject(cx, JS_NewPlainObject(cx));
        JS::RootedString folder(cx, script::NewString(cx, ScriptsFolder()));
        ready = JS::InitRealmStandardClasses(cx) && JS_DefineDebuggerObject(cx, script->global) &&
                hostObject && folder && JS_WrapObject(cx, &game) &&
                JS_DefineFunction(cx, hostObject, "send", HostSend, 1, 0) &&
                JS_DefineFunction(cx, hostObject, "enterPauseLoop", HostEnterPauseLoop, 1, 0) &&
                JS_DefineFunction(cx, hostObject, "resume", HostResume, 0, 0) &&
                JS_DefineFunction(cx, hostObject, "canonical", HostCanonical, 1, 0) &&
                JS_DefineFunction(cx, hostObject, "readSource", HostReadSource, 1, 0) &&
                JS_DefineFunction(cx, hostObject, "log", HostLog, 1, 0) &&
                JS_DefineFunction(cx, hostObject, "collectGarbage", HostCollectGarbage, 0, 0) &&
                JS_DefineFunction(cx, hostObject, "withTimeBudget", HostWithTimeBudget, 2, 0) &&
                JS_DefineProperty(cx, hostObject, "game", game, JSPROP_READONLY) &&
                JS_DefineProperty(cx, hostObject, "scriptsFolder", folder, JSPROP_READONLY) &&
                JS_DefineProperty(cx, script->global, "host", hostObject, JSPROP_READONLY);
        if (ready) {
            running = this;
            JS::CompileOptions compile(cx);
            compile.setFileAndLine(kAdapterFile, 1);
            const std::string source = DebugAdapterSource();
            JS::SourceText<mozilla::Utf8Unit> text;
            JS::RootedValue ignored(cx);
            ready = text.init(cx, source.data(), source.size(), JS::SourceOwnership::Borrowed) &&
                    JS::Evaluate(cx, compile, text, &ignored);
        }
        if (!ready)
            host.ReportPendingException("Debugger: ");
    }
    if (!ready) {
        running = nullptr;
        problem = "the debugger could not start (see the error above)";
        return false;
    }
    screen = std::make_unique<PauseScreen>();
    panel = std::make_unique<DebuggerPanel>([this](const std::string& r) { return Request(r); });
    host.AddOutputListener(this, [this](const std::string& line) { ForwardOutput(line); });
    host.GetWatchdog().SetRunawayHandler(
        [this](const std::string& problem) { return PauseRunaway(problem); });
    if (WindowSystem* window = Core::Instance().WindowSystem_) {
        window->SetKeepLastFrame(true);
        // The game window's own "pause now".
        window->SetEventFilter([this](const sf::Event& event) {
            if (event.type != sf::Event::KeyPressed || event.key.code != kPauseKey)
                return false;
            Request(R"({"command":"pause"})");
            return true;
        });
    }
    return true;
}

void ScriptDebugger::Shutdown() {
    if (!script)
        return;
    // Tells the client the game ended, and stops watching the game: scripts
    // that still run while the engine closes must not stop.
    CallAdapter("terminate", nullptr, nullptr);
    if (server && server->IsConnected())
        server->Flush(500);
    if (WindowSystem* window = Core::Instance().WindowSystem_) {
        window->SetEventFilter(nullptr);
        window->SetKeepLastFrame(false);
    }
    ScriptHost::Instance().RemoveOutputListener(this);
    ScriptHost::Instance().GetWatchdog().SetRunawayHandler(nullptr);
    if (AntBarSystem* bars = Core::Instance().AntBarSystem_)
        bars->GetPanels().SetOverlay(nullptr);
    panel.reset();
    screen.reset();
    server.reset();
    script.reset();
    if (running == this)
        running = nullptr;
}

std::uint16_t ScriptDebugger::GetPort() const {
    return server ? server->GetPort() : 0;
}

bool ScriptDebugger::CallAdapter(const char* function, const std::string* argument,
                                 std::string* result) {
    if (!script)
        return false;
    JSContext* cx = script->cx;
    JSAutoRealm realm(cx, script->global);
    const bool outer = !inAdapter;
    inAdapter = true;
    JS::RootedValueArray<1> args(cx);
    bool ok = true;
    if (argument) {
        JSString* text = script::NewString(cx, *argument);
        ok = text != nullptr;
        if (ok)
            args[0].setString(text);
    }
    JS::RootedValue value(cx);
    ok = ok && JS_CallFunctionName(
                   cx, script->global, function,
                   argument ? JS::HandleValueArray(args) : JS::HandleValueArray::empty(), &value);
    if (ok && result) {
        JS::RootedString string(cx, JS::ToString(cx, value));
        ok = string && script::ToUtf8(cx, string, *result);
    }
    if (!ok)
        ScriptHost::Instance().ReportPendingException("Debugger: ");
    if (outer)
        inAdapter = false;
    return ok;
}

void ScriptDebugger::Send(const std::string& message) {
    if (server)
        server->Send(message);
}

void ScriptDebugger::Deliver() {
    if (!server)
        return;
    for (const std::string& message : server->Poll()) {
        const std::string problem = DebugMessageCheck::GetProblem(message);
        if (problem.empty())
            CallAdapter("handleMessage", &message, nullptr);
        else
            CallAdapter("rejectMessage", &problem, nullptr);
    }
    if (server->TakeDisconnected()) {
        if (!server->GetLastProblem().empty())
            std::fprintf(stderr, "Debugger: the client was disconnected: %s\n",
                         server->GetLastProblem().c_str());
        CallAdapter("clientGone", nullptr, nullptr);
    }
}

void ScriptDebugger::ForwardOutput(const std::string& line) {
    // Output the adapter itself causes would come straight back to it.
    if (inAdapter || !server || !server->IsConnected())
        return;
    CallAdapter("handleOutput", &line, nullptr);
}

void ScriptDebugger::WaitForClient() {
    std::fprintf(stderr, "Debugger: waiting for a client on 127.0.0.1:%u\n", GetPort());
    std::fflush(stderr);
    std::string waiting = "true";
    while (waiting == "true" && Core::Instance().running) {
        Deliver();
        if (!CallAdapter("waitingForClient", nullptr, &waiting))
            return;
        if (waiting == "true")
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void ScriptDebugger::Update() {
    Deliver();
    CallAdapter("frameBoundary", nullptr, nullptr);
}

float ScriptDebugger::TakePausedSeconds() {
    const double seconds = pausedSeconds;
    pausedSeconds = 0.0;
    return static_cast<float>(seconds);
}

std::string ScriptDebugger::Request(const std::string& request) {
    std::string answer;
    if (!CallAdapter("handleLocal", &request, &answer))
        return R"({"success":false,"message":"the debugger failed"})";
    return answer;
}

bool ScriptDebugger::PauseRunaway(const std::string& problem) {
    std::string goOn;
    return CallAdapter("pauseRunaway", &problem, &goOn) && goOn == "true";
}

bool ScriptDebugger::RunPauseLoop(const std::string& where) {
    if (paused)
        return quitting; // the adapter never pauses inside a pause
    if (quitting)
        return true;
    // A developer looking is not the script running: its time limit starts
    // again when the game goes on.
    const ScriptWatchdog::Budget untimed(ScriptHost::Instance().GetWatchdog(), 0.0);
    paused = true;
    resumeRequested = false;
    const auto start = std::chrono::steady_clock::now();
    std::fprintf(stderr, "Debugger: %s\n", where.c_str());
    std::fflush(stderr);
    Core& core = Core::Instance();
    screen->Begin(where, core.SoundSystem_);
    panel->Open();
    if (AntBarSystem* bars = core.AntBarSystem_) {
        bars->GetPanels().SetOverlay([this] { panel->Draw(); });
        bars->GetPanels().SetOverlayOnly(true);
    }
    while (!resumeRequested && !quitting) {
        const auto turn = std::chrono::steady_clock::now();
        Deliver();
        if (resumeRequested || quitting)
            break;
        RunPausedFrame();
        std::this_thread::sleep_until(turn + kPausedFrame);
    }
    if (AntBarSystem* bars = core.AntBarSystem_) {
        bars->GetPanels().SetOverlayOnly(false);
        bars->GetPanels().SetOverlay(nullptr);
    }
    panel->Close();
    screen->End(core.SoundSystem_);
    paused = false;
    pausedSeconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return quitting;
}

void ScriptDebugger::RunPausedFrame() {
    Core& core = Core::Instance();
    WindowSystem* window = core.WindowSystem_;
    if (window && window->CloseIfLost()) {
        quitting = true; // destroyed from outside: the engine is quitting already
        return;
    }
    if (!window || !window->IsOpen())
        return;
    sf::RenderWindow& target = window->GetWindow();
    TweakPanels* panels = core.AntBarSystem_ ? &core.AntBarSystem_->GetPanels() : nullptr;
    sf::Event event;
    while (target.pollEvent(event)) {
        if (event.type == sf::Event::Closed) {
            // Quits as the game would: this frame runs to its end, unstopped.
            quitting = true;
            core.Quit();
            return;
        }
        if (event.type == sf::Event::KeyPressed && panel->HandleKey(event.key))
            continue;
        if (panels)
            panels->HandleEvent(event);
    }
    screen->Draw(target);
    if (panels) {
        const sf::Vector2u size = target.getSize();
        panels->SetWindowSize(size.x, size.y);
        panels->Draw();
    }
    target.display();
}
