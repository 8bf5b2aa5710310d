#pragma once

#include <cstdint>
#include <memory>
#include <string>

class DebugServer;
class DebuggerPanel;
class PauseScreen;

// The script debugger, there only when the engine was started with --debug.
// It watches the game's global from a global of its own (scripts the engine
// compiles for itself are hidden from it), speaks the Debug Adapter Protocol
// on 127.0.0.1, and while a script is stopped it keeps the window alive
// without running any game code: no system update, callback, job or timer.
class ScriptDebugger {
  public:
    // The running debugger, or null.
    static ScriptDebugger* Get() { return running; }

    ScriptDebugger();
    ~ScriptDebugger();
    ScriptDebugger(const ScriptDebugger&) = delete;
    ScriptDebugger& operator=(const ScriptDebugger&) = delete;

    // Needs the script host running and no game script run yet, so that every
    // script is seen as it loads. `port` 0 picks a free port. False, with
    // `problem`, when the debugger or its socket cannot start.
    bool Initialize(std::uint16_t port, std::string& problem);
    // Closes the connection (telling the client the game ended).
    void Shutdown();
    std::uint16_t GetPort() const;

    // Blocks until a client has connected and sent configurationDone, so that
    // its breakpoints are in place before the first script runs.
    void WaitForClient();
    // Between frames: takes what the client sent and stops the game when a
    // pause was asked for while no script ran.
    void Update();

    bool IsPaused() const { return paused; }
    // Seconds spent paused since last asked: the frame clock leaves them out.
    float TakePausedSeconds();

    // The same requests a client sends, from inside the engine (the panel):
    // `request` is a JSON object text, the answer {"success", "body"|"message"}.
    std::string Request(const std::string& request);

    // Called by the adapter script through its host object.
    void Send(const std::string& message);
    // Runs until Resume (or the window closes: then true).
    bool RunPauseLoop(const std::string& where);
    void Resume() { resumeRequested = true; }

  private:
    struct Script;
    // The watchdog's runaway handler: pauses where the script loops. True
    // when the developer lets it go on.
    bool PauseRunaway(const std::string& problem);
    bool CallAdapter(const char* function, const std::string* argument, std::string* result);
    void Deliver();
    void ForwardOutput(const std::string& line);
    // One turn of the pause loop: window events, then a drawn frame.
    void RunPausedFrame();

    static ScriptDebugger* running;
    std::unique_ptr<Script> script;
    std::unique_ptr<DebugServer> server;
    std::unique_ptr<PauseScreen> screen;
    std::unique_ptr<DebuggerPanel> panel;
    bool paused = false;
    bool resumeRequested = false;
    bool quitting = false;
    bool inAdapter = false;
    double pausedSeconds = 0.0;
};
