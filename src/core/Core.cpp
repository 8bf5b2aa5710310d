#include "core/Core.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "audio/SoundSystem.h"
#include "core/Path.h"
#include "core/Platform.h"
#include "debugger/ScriptDebugger.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/ScriptHost.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowSystem.h"

namespace {
constexpr unsigned kAllGroups = 3;
constexpr int kTweakTypeFloat = 12;
constexpr int kTweakTypeGraph = 0x7fff0001;
} // namespace

float FrameClock::GetElapsedSeconds() const {
    return std::chrono::duration<float>(std::chrono::steady_clock::now() - start).count();
}

void FrameClock::Restart() {
    start = std::chrono::steady_clock::now();
}

Core& Core::Instance() {
    static Core core;
    return core;
}

// The message manager comes first: every listening system registers with it
// from its constructor.
// In the order the systems are updated, as the profile samples them; short, so the
// legend fits the panel.
Core::Core()
    : profileGraph({"AntBar", "GameLogic", "Physics", "Graphics", "DevConsole", "Window",
                    "JSGarbageCollector", "Sound"}) {
    messageManager = new MessageManager();
    objectManager = new ObjectManager();
    AntBarSystem_ = new AntBarSystem(*messageManager);
    WindowSystem_ = new WindowSystem(*messageManager);
    GraphicsSystem_ = new GraphicsSystem(*messageManager);
    GameLogicSystem_ = new GameLogicSystem(*messageManager);
    PhysicsSystem_ = new PhysicsSystem(*messageManager);
    JSGarbageCollectorSystem_ = new JSGarbageCollectorSystem();
    DevConsoleSystem_ = new DevConsoleSystem(*messageManager);
    SoundSystem_ = new SoundSystem(*messageManager);
}

void Core::Init() {
    running = true;
    // Scripts run before the systems initialise, so startup.js can set what
    // they read (window size and the like). A missing or failing script is
    // reported by the host and start-up goes on.
    ScriptHost& scripts = ScriptHost::Instance();
    scripts.Initialize();
    if (debugPort >= 0) {
        // Before any game script, so that the debugger sees every one load.
        debugger = new ScriptDebugger();
        std::string problem;
        if (!debugger->Initialize(static_cast<std::uint16_t>(debugPort), problem)) {
            std::fprintf(stderr, "Debugger: cannot start: %s\n", problem.c_str());
            StopDebugger();
            FailStartup();
            return;
        }
        std::fprintf(stderr, "Debugger: listening on 127.0.0.1:%u\n", debugger->GetPort());
        std::fflush(stderr);
        if (debugWait)
            debugger->WaitForClient();
    }
    RunStartupScript("startup.js");
    objectManager->numGameObjects = 0;
    AntBarSystem_->Initialize();
    WindowSystem_->Initialize();
    // Without a window there is no OpenGL context for the renderer to set up;
    // the window system has already said why.
    if (WindowSystem_->IsOpen())
        GraphicsSystem_->Initialize();
    GameLogicSystem_->Initialize();
    PhysicsSystem_->Initialize();
    DevConsoleSystem_->Initialize();
    JSGarbageCollectorSystem_->Initialize();
    SoundSystem_->Initialize();
    CreateProfileBar();
    RunStartupScript("postInit.js");
    // A game written as modules starts from its entry module, once the
    // classic start-up scripts have had their say.
    scripts.RunGameEntry(GetResourcePath("Scripts/"));
}

bool Core::RunsStartupScript(const std::string& name) const {
    // A classic game is told that a start-up script is missing; a game that
    // starts from its entry module may do without either.
    std::string problem;
    return IsRegularFile(ResolvePath(GetResourcePath("Scripts/" + name)), problem) ||
           !ScriptHost::Instance().HasGameEntry(GetResourcePath("Scripts/"));
}

void Core::RunStartupScript(const std::string& name) {
    if (RunsStartupScript(name))
        ScriptHost::Instance().RunFile(GetResourcePath("Scripts/" + name));
}

void Core::StopDebugger() {
    delete debugger;
    debugger = nullptr;
}

void Core::CreateProfileBar() {
    BroadcastMessage(
        TryCreateMessage<RegisterAntBarMessage>(profileBarName, 200u, 400u, 211u, 10u, true));
    struct Entry {
        const char* name;
        float* value;
    };
    const Entry entries[] = {
        {"frame rate", &fps},
        {"AntBarSystem", &systemTimes[kAntBar]},
        {"GameLogicSystem", &systemTimes[kGameLogic]},
        {"PhysicsSystem", &systemTimes[kPhysics]},
        {"GraphicsSystem", &systemTimes[kGraphics]},
        {"DevConsoleSystem", &systemTimes[kDevConsole]},
        {"WindowSystem", &systemTimes[kWindow]},
        {"JSGarbageCollectorSystem", &systemTimes[kJSGarbageCollector]},
        {"SoundSystem", &systemTimes[kSound]},
    };
    for (const Entry& entry : entries)
        BroadcastMessage(TryCreateMessage<AddVarMessage>(
            profileBarName, static_cast<void*>(entry.value), kTweakTypeFloat,
            std::string(entry.name), std::string()));
    BroadcastMessage(TryCreateMessage<TWDefineMessage>(profileBarName, std::string("refresh=.5")));
    BroadcastMessage(TryCreateMessage<SetBarVisibleMessage>(profileBarName, false));
    // After the bar's own set-up, which stays as it always was: a graph of the last
    // seconds, where a spike shows long after the figures above have moved on.
    BroadcastMessage(TryCreateMessage<AddVarMessage>(
        profileBarName, static_cast<void*>(&profileGraph), kTweakTypeGraph,
        std::string("last seconds, ms"), std::string()));
    BroadcastMessage(
        TryCreateMessage<TWDefineMessage>(profileBarName, std::string("size='200 560'")));
}

void Core::MainLoop() {
    while (running)
        RunFrame();
}

void Core::RunFrame() {
    // Time the debugger held the game is not game time: the frame after a pause
    // is as long as its own work, not as long as the pause.
    float dt = frameClock.GetElapsedSeconds();
    if (debugger)
        dt = std::max(0.0f, dt - debugger->TakePausedSeconds());
    fps = 1.0f / dt; // a zero dt gives infinity, and that is what the read-out shows
    frameClock.Restart();
    if (screenshotOnLastFrame && frameLimit != 0 && frameCount + 1 == frameLimit)
        WindowSystem_->Screenshot();

    UpdateSystems(dt);
    messageManager->Update(dt);
    objectManager->Update();
    // Jobs left over by anything that reached script without a callback.
    ScriptHost::Instance().RunPendingJobs();
    if (debugger)
        debugger->Update();

    ++frameCount;
    if (frameLimit != 0 && frameCount >= frameLimit)
        running = false;
}

std::array<Core::System*, Core::kSystemCount> Core::GetSystems() const {
    // The order is fixed: input from the previous frame reaches logic before
    // physics, and everything is drawn before the window presents it.
    return {
        AntBarSystem_,
        GameLogicSystem_,
        PhysicsSystem_,
        GraphicsSystem_,
        DevConsoleSystem_,
        WindowSystem_,
        JSGarbageCollectorSystem_,
        SoundSystem_,
    };
}

void Core::UpdateSystems(float dt) {
    const std::array<System*, kSystemCount> order = GetSystems();
    const SystemSlot slots[] = {
        kAntBar, kGameLogic, kPhysics, kGraphics, kDevConsole, kWindow, kJSGarbageCollector, kSound,
    };

    if (!profiling) {
        for (System* system : order)
            system->Update(dt);
        systemTimes.fill(0.0f);
        return;
    }
    profileClock.Restart();
    std::vector<float> sample(kSystemCount);
    for (int i = 0; i < kSystemCount; ++i) {
        order[i]->Update(dt);
        systemTimes[slots[i]] = profileClock.GetElapsedSeconds() * 1000.0f;
        sample[i] = systemTimes[slots[i]];
        profileClock.Restart();
    }
    profileGraph.AddSample(sample);
}

void Core::Quit() {
    BroadcastMessage(TryCreateMessage<QuittingMessage>());
    running = false;
}

void Core::FailStartup() {
    startupFailed = true;
    Quit();
}

void Core::BroadcastMessage(Message* message) {
    MessagePointer pointer(message);
    messageManager->Broadcast(kAllGroups, pointer, 0.0f);
}

void Core::BroadcastMessageDelayed(Message* message, float delaySeconds) {
    MessagePointer pointer(message);
    messageManager->Broadcast(kAllGroups, pointer, delaySeconds);
}

void Core::ToggleProfileWindow() {
    BroadcastMessage(TryCreateMessage<SetBarVisibleMessage>(profileBarName, !profiling));
    profiling = !profiling;
    profileGraph.Clear(); // a gap in the measuring is not a stretch of idle frames
}

bool Core::ShowErrorBox(int line, const char* file, const char* format, ...) {
    char text[1024];
    int used = std::snprintf(text, sizeof text, "%s(%d) : ", file ? file : "", line);
    if (used < 0)
        used = 0;
    if (used < static_cast<int>(sizeof text)) {
        if (format == nullptr) {
            std::snprintf(text + used, sizeof text - used, "%s", "No Error Message");
        } else {
            va_list args;
            va_start(args, format);
            std::vsnprintf(text + used, sizeof text - used, format, args);
            va_end(args);
        }
    }
    return Platform::ShowErrorBox("Error", text);
}

std::string Core::GetResourcePath(const std::string& relative) const {
    return GetResourceFolder() + relative;
}

void Core::SetResourceDir(const std::string& dir) {
    SetResourceFolder(dir);
}

const std::string& Core::GetResourceDir() const {
    return GetResourceFolder();
}
