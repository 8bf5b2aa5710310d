#pragma once

#include <array>
#include <vector>
#include <chrono>
#include <cstdint>
#include <string>

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>

#include "tools/TweakGraph.h"

class Message;
class MessageManager;
class ObjectManager;
class AntBarSystem;
class WindowSystem;
class GraphicsSystem;
class GameLogicSystem;
class PhysicsSystem;
class JSGarbageCollectorSystem;
class DevConsoleSystem;
class SoundSystem;
class ScriptDebugger;

// A wall clock in seconds; restarted once per frame and once per timed system.
class FrameClock {
  public:
    float GetElapsedSeconds() const;
    void Restart();

  private:
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
};

// The one object that owns the managers and the eight systems and drives them
// once per frame in a fixed order.
class Core {
  public:
    class System;

    // Slots of systemTimes; the order is the one the profile bar documents.
    enum SystemSlot {
        kAntBar,
        kWindow,
        kGraphics,
        kGameLogic,
        kPhysics,
        kJSGarbageCollector,
        kDevConsole,
        kSound,
        kSystemCount
    };

    static Core& Instance();

    void Init();
    void MainLoop();
    void Quit();
    // For an error the engine cannot start past (no display for its window):
    // quits, and the program then exits with a failure status.
    void FailStartup();
    void BroadcastMessage(Message* message);
    void BroadcastMessageDelayed(Message* message, float delaySeconds);
    void ToggleProfileWindow();

    // Shows the fatal-error box; the caller decides what happens next.
    static bool ShowErrorBox(int line, const char* file, const char* format, ...);

    // Every engine file path starts here; "--resource DIR" replaces the default. Paths
    // that scripts write "../resource/..." follow it too (ResolvePath).
    std::string GetResourcePath(const std::string& relative) const;
    void SetResourceDir(const std::string& dir);
    const std::string& GetResourceDir() const;

    // Stops the main loop after this many frames (0: no limit), exactly as if
    // a script had cleared `running` at the end of that frame.
    void SetFrameLimit(uint64_t frames) { frameLimit = frames; }
    // With a frame limit: the window saves its screenshot from the last frame.
    void SetScreenshotOnLastFrame(bool on) { screenshotOnLastFrame = on; }
    uint64_t GetFrameCount() const { return frameCount; }
    // Before Init: start the script debugger for clients on 127.0.0.1:port
    // (0: any free port), and with `wait` hold the first script until a
    // client is ready. Without it no debugger exists and nothing is slower.
    void EnableDebugger(int port, bool wait) {
        debugPort = port;
        debugWait = wait;
    }
    // Ends the debugger's session; before the script host shuts down.
    void StopDebugger();
    // Runs Scripts/startup.js or Scripts/postInit.js; a game with an entry
    // module may have neither.
    void RunStartupScript(const std::string& name);
    bool RunsStartupScript(const std::string& name) const;

    // One pass of the frame loop body; MainLoop calls it while running.
    void RunFrame();
    // Every system, in the order they are updated.
    std::array<System*, kSystemCount> GetSystems() const;

    ObjectManager* objectManager = nullptr;
    MessageManager* messageManager = nullptr;
    float fps = 0.0f;
    AntBarSystem* AntBarSystem_ = nullptr;
    WindowSystem* WindowSystem_ = nullptr;
    GraphicsSystem* GraphicsSystem_ = nullptr;
    GameLogicSystem* GameLogicSystem_ = nullptr;
    PhysicsSystem* PhysicsSystem_ = nullptr;
    JSGarbageCollectorSystem* JSGarbageCollectorSystem_ = nullptr;
    DevConsoleSystem* DevConsoleSystem_ = nullptr;
    SoundSystem* SoundSystem_ = nullptr;
    bool running = false;
    bool startupFailed = false; // set by FailStartup
    std::string stringTest;
    glm::vec2 vec2Test{0.0f};
    glm::vec3 vec3Test{0.0f};
    glm::vec4 vec4Test{0.0f};
    glm::mat2 mat2Test{1.0f};
    glm::mat3 mat3Test{1.0f};
    glm::mat4 mat4Test{1.0f};
    glm::quat quatTest{1.0f, 0.0f, 0.0f, 0.0f}; // w first in glm's constructor: identity
    FrameClock frameClock;
    bool profiling = false;
    FrameClock profileClock;
    std::string profileBarName = "systems profile";
    std::array<float, kSystemCount> systemTimes{};
    // The system times of the last seconds and the rest of each frame, graphed on
    // the profile panel; its averages are what the panel's fields show too.
    TweakGraph profileGraph;
    float profileFrameRate = 0.0f;                     // frames a second, averaged
    std::array<float, kSystemCount> profileAverages{}; // ms a frame, by slot, averaged

  private:
    Core();
    ~Core() = default;
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    void CreateProfileBar();
    void UpdateSystems(float dt);
    // Completes the last frame's sample with its length, once that is known.
    void AddProfileSample(float dt);

    uint64_t frameLimit = 0;
    bool screenshotOnLastFrame = false;
    uint64_t frameCount = 0;
    int debugPort = -1;
    bool debugWait = false;
    ScriptDebugger* debugger = nullptr;
    std::vector<float> profileSample; // the systems' times of the frame being measured
};
