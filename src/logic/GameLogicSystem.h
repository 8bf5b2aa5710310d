#pragma once

#include <array>

#include <glm/vec2.hpp>

#include "core/Core.h"
#include "core/System.h"
#include "graphics/Projection.h"
#include "logic/GameState.h"
#include "messaging/MessageListener.h"
#include "physics/RayTestResult.h"
#include "script/ScriptCallback.h"

class MessageManager;

// Runs the game each frame: the script's per-frame function, the component
// families that carry behaviour, the mouse pick for clickables, and the
// current game state.
class GameLogicSystem : public Core::System, public MessageListener {
  public:
    // Slots of stepTimes, in the order Update runs them.
    enum Step {
        kScriptStep,
        kFrameUpdateStep,
        kScriptUpdateStep,
        kClickableStep,
        kClickBoxStep,
        kObstacleStep,
        kGameStateStep,
        kStepCount
    };

    explicit GameLogicSystem(MessageManager& messages);
    ~GameLogicSystem() override;

    // Shows the "GameLogicProfile" bar, one of the engine's own panels.
    void Initialize() override;
    void Update(float dt) override;
    // The per-frame function, the functions of every script game state and the
    // script timers (which it runs in game time) go.
    void ForgetScriptState() override;
    JSObject* GetJSInstance() override;
    virtual void HandleMessage(const MessagePointer& message);

    // Cleanup, clear every object, Initialize, for the current state; nothing
    // without one.
    void RestartCurrentGameState();

    // Makes `state` the one the engine runs. With no current state it starts
    // at once (its Initialize runs now; existing objects stay). Otherwise it
    // becomes the current state's nextState, so the switch happens at the
    // next update by the usual rule: cleanup, clear, initialize, update.
    // Null, or the current state, changes nothing. The engine holds the state
    // (GameState::AddHolder) while it is current or asked for.
    void SetCurrentGameState(GameState* state);
    GameState* GetCurrentGameState() const { return current.Get(); }
    // Runs the current state's cleanup and leaves no state current, as at
    // start-up, with any switch it asked for forgotten (live reload starts
    // the scripts again from there). A state only the engine held goes.
    void LeaveCurrentGameState();

    // What the last pick computed: the mouse ray and what it hit.
    const glm::ivec2& GetMousePosition() const { return mousePosition; }
    const MouseRay& GetLastMouseRay() const { return lastRay; }
    const RayTestResult& GetLastPick() const { return lastPick; }
    float GetStepTime(Step step) const { return stepTimes[step]; }

    ScriptCallback updateFunction;
    bool debugDraw = false;

  private:
    // The world under the stored mouse position, through the last frame's view.
    const RayTestResult& Pick();
    void UpdateGameState(float dt);
    void StoreStepTime(Step step);

    HeldGameState current;
    // What SetCurrentGameState asked the current state to switch to.
    HeldGameState requested;
    glm::ivec2 mousePosition{0, 0};
    MouseRay lastRay{glm::vec3(0.0f), glm::vec3(0.0f)};
    RayTestResult lastPick;
    FrameClock profileClock;
    // Shown by the profile bar, which keeps pointers to them.
    std::array<float, kStepCount> stepTimes{};
    MessageManager* messages;
};
