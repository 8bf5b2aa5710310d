#include "logic/ScriptGameState.h"

#include "logic/GameStateScript.h"

namespace {

// `new ScriptGameState()` makes a state of its own; Instance() stays the one shared
// state, which no wrapper holds.
script::ClassOptions<ScriptGameState> MadeByScripts() {
    script::ClassOptions<ScriptGameState> options = GameStateOptions<ScriptGameState>();
    options.create = [] { return ScriptGameState::NewShared(); };
    options.hold = [](ScriptGameState* state) {
        state->AddHolder();
        return state->IsShared();
    };
    options.release = [](ScriptGameState* state) { state->RemoveHolder(); };
    return options;
}

using S = script::ScriptClass<ScriptGameState>;
const S scriptGameStateClass(
    "ScriptGameState",
    GameStateMembers<ScriptGameState>({
        S::Property<&ScriptGameState::initializeFunction>("initializeFunction"),
        S::Property<&ScriptGameState::updateFunction>("updateFunction"),
        S::Property<&ScriptGameState::cleanupFunction>("cleanupFunction"),
    }),
    MadeByScripts());

} // namespace
