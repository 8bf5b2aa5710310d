#include "core/Core.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

#include "audio/SoundSystem.h"
#include "base/Path.h"
#include "base/Platform.h"
#include "debugger/ScriptDebugger.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "scene/Scene.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/LocalStorage.h"
#include "script/ScriptHost.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowSystem.h"

namespace {
constexpr unsigned kAllGroups = 3;
constexpr int kTweakTypeFloat = 12;
constexpr int kTweakTypeGraph = 0x7fff0001;
// The profile figures are averages over this window, renewed as often as the
// panel refreshes.
constexpr double kProfileAverageSeconds = 0.5;
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
// legend fits the panel. The rest of the frame comes last, so that the top line is
// the whole frame.
Core::Core()
    : profileGraph({"AntBar", "GameLogic", "Physics", "Graphics", "DevConsole", "Window",
                    "JSGarbageCollector", "Sound", "Rest of frame"},
                   5.0, 1200, kProfileAverageSeconds) {
    messageManager = new MessageManager();
    objectManager = new ObjectManager();
    Scene::Instance().SetObjectManager(objectManager);
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
    // The fields show the graph's averages, not the last frame's figures: one
    // frame sampled twice a second says little, and disagrees with the graph.
    const Entry entries[] = {
        {"frame rate", &profileFrameRate},
        {"AntBarSystem", &profileAverages[kAntBar]},
        {"GameLogicSystem", &profileAverages[kGameLogic]},
        {"PhysicsSystem", &profileAverages[kPhysics]},
        {"GraphicsSystem", &profileAverages[kGraphics]},
        {"DevConsoleSystem", &profileAverages[kDevConsole]},
        {"WindowSystem", &profileAverages[kWindow]},
        {"JSGarbageCollectorSystem", &profileAverages[kJSGarbageCollector]},
        {"SoundSystem", &profileAverages[kSound]},
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
    // Units on the labels; the names stay, as scripts address the fields by them.
    // The figures change only once an averaging window is complete, so the fields
    // copy them at once and stay in step with the graph's legend.
    char help[96];
    std::snprintf(help, sizeof help, "help='average of the last %.1f s'", kProfileAverageSeconds);
    for (const Entry& entry : entries) {
        const std::string name(entry.name);
        const char* unit = entry.value == &profileFrameRate ? "frames/s" : "ms/frame";
        BroadcastMessage(TryCreateMessage<TWDefineMessage>(profileBarName,
                                                           "/'" + name + "' label='" + name + " (" +
                                                               unit + ")' readonly=true " + help));
    }
    BroadcastMessage(
        TryCreateMessage<TWDefineMessage>(profileBarName, std::string("size='360 600' refresh=0")));
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
    fps = 1.0f / dt; // a zero dt gives infinity, and nothing guards it
    frameClock.Restart();
    if (profiling && !profileSample.empty())
        AddProfileSample(dt);
    if (screenshotOnLastFrame && frameLimit != 0 && frameCount + 1 == frameLimit)
        WindowSystem_->Screenshot();

    UpdateSystems(dt);
    messageManager->Update(dt);
    objectManager->Update();
    // Jobs left over by anything that reached script without a callback.
    ScriptHost::Instance().RunPendingJobs();
    // What the frame's scripts stored is on disk before the next frame starts.
    LocalStorage::Instance().SaveChanges();
    if (debugger)
        debugger->Update();

    ++frameCount;
    if (frameLimit != 0 && frameCount >= frameLimit)
        running = false;
}

// The systems' slots in the order UpdateSystems runs them.
constexpr Core::SystemSlot kUpdateOrder[] = {
    Core::kAntBar, Core::kGameLogic,          Core::kPhysics, Core::kGraphics, Core::kDevConsole,
    Core::kWindow, Core::kJSGarbageCollector, Core::kSound,
};

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
        systemTimes[kUpdateOrder[i]] = profileClock.GetElapsedSeconds() * 1000.0f;
        sample[i] = systemTimes[kUpdateOrder[i]];
        profileClock.Restart();
    }
    profileSample = std::move(sample);
}

void Core::AddProfileSample(float dt) {
    // The rest of the frame is what it took beyond the systems, so the total is
    // the frame's length.
    float systems = 0.0f;
    for (float ms : profileSample)
        systems += ms;
    profileSample.push_back(std::max(0.0f, dt * 1000.0f - systems));
    profileGraph.AddSample(profileSample);
    profileSample.clear();
    for (int i = 0; i < kSystemCount; ++i)
        profileAverages[kUpdateOrder[i]] = profileGraph.GetAverage(i);
    const float frameMs = profileGraph.GetAverageTotal();
    profileFrameRate = frameMs > 0.0f ? 1000.0f / frameMs : 0.0f;
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
    // A gap in the measuring is not a stretch of idle frames.
    profileGraph.Clear();
    profileSample.clear();
    profileAverages.fill(0.0f);
    profileFrameRate = 0.0f;
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
