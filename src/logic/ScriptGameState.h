#pragma once

#include "logic/GameState.h"
#include "script/ScriptCallback.h"

// A game state written in script: its three steps call the functions stored here. It
// lets a script scene take part in the engine's state switches like the engine's own
// states do: switching away runs its cleanupFunction and clears every object, switching
// back runs its initializeFunction, which builds the scene again.
class ScriptGameState : public GameState {
  public:
    static ScriptGameState& Instance();

    // Each calls its function when one is stored; any other value does nothing.
    void Initialize() override { initializeFunction.Call(); }
    void Cleanup() override { cleanupFunction.Call(); }
    void Update(float dt) override { updateFunction.Call({dt}); }

    ScriptCallback initializeFunction;
    ScriptCallback updateFunction; // called with the frame time in seconds
    ScriptCallback cleanupFunction;
};
