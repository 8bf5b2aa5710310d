#pragma once

#include <utility>

// One mode of the game (an editor, a demo scene) that builds its own objects.
// The game logic system runs the current state every frame and switches to
// `nextState` when a state asks for it, clearing every object in between.
class GameState {
  public:
    GameState() = default;
    GameState(const GameState&) = delete;
    GameState& operator=(const GameState&) = delete;

    // Builds the state's objects.
    virtual void Initialize() = 0;
    // Releases what Initialize and later frames built.
    virtual void Cleanup() = 0;
    virtual void Update(float dt) = 0;
    virtual ~GameState() = default;

    // A state owned by whoever holds it (one a script made) lives while anyone does;
    // the engine holds the state it runs and the one it was asked to switch to. The
    // engine's own states live for the whole program and ignore holders.
    virtual void AddHolder() {}
    virtual void RemoveHolder() {}

    // Set by the state to ask for a switch at the next game-logic update.
    GameState* nextState = nullptr;
};

// A pointer that holds the state it points at (AddHolder/RemoveHolder).
class HeldGameState {
  public:
    explicit HeldGameState(GameState* state = nullptr) { Set(state); }
    ~HeldGameState() { Set(nullptr); }
    HeldGameState(const HeldGameState&) = delete;
    HeldGameState& operator=(const HeldGameState&) = delete;

    // Holds the new state before letting go of the old one, so setting the same
    // state again never lets it go.
    void Set(GameState* next) {
        if (next)
            next->AddHolder();
        GameState* previous = std::exchange(state, next);
        if (previous)
            previous->RemoveHolder();
    }
    GameState* Get() const { return state; }
    GameState* operator->() const { return state; }
    explicit operator bool() const { return state != nullptr; }

  private:
    GameState* state = nullptr;
};
