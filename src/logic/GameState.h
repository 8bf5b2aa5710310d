#pragma once

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

    // Set by the state to ask for a switch at the next game-logic update.
    GameState* nextState = nullptr;
};
