#pragma once

#include <cstddef>

#include "base/HolderCount.h"
#include "logic/GameState.h"
#include "script/ScriptCallback.h"

// A game state written in script: its three steps call the functions stored here. It
// lets a script scene take part in the engine's state switches like the engine's own
// states do: switching away runs its cleanupFunction and clears every object, switching
// back runs its initializeFunction, which builds the scene again.
//
// Instance() is one such state for the whole program. A script's `new ScriptGameState()`
// makes another (NewShared), owned by its holders: the script objects that wrap it and
// the engine while it runs it or is asked to switch to it. It goes with the last of them,
// so a state a script dropped keeps running until the game switches away from it.
class ScriptGameState : public GameState {
  public:
    static ScriptGameState& Instance();
    static ScriptGameState* NewShared();
    // Script-made states alive now: what a leak would make grow.
    static std::size_t GetSharedCount();
    // Every script state's functions go, Instance()'s and those of every state a script
    // made (live reload: the scripts that stored them are being replaced).
    static void ForgetAllFunctions();

    ~ScriptGameState() override;

    // Each calls its function when one is stored; any other value does nothing.
    void Initialize() override { initializeFunction.Call(); }
    void Cleanup() override { cleanupFunction.Call(); }
    void Update(float dt) override { updateFunction.Call({dt}); }

    bool IsShared() const { return holding.IsShared(); }
    void AddHolder() override;
    void RemoveHolder() override;

    ScriptCallback initializeFunction;
    ScriptCallback updateFunction; // called with the frame time in seconds
    ScriptCallback cleanupFunction;

  private:
    ScriptGameState();

    HolderCount holding;
};
