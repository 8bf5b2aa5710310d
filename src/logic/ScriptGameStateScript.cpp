#include "logic/ScriptGameState.h"

#include "logic/GameStateScript.h"

namespace {
using S = script::ScriptClass<ScriptGameState>;
const S scriptGameStateClass(
    "ScriptGameState",
    GameStateMembers<ScriptGameState>({
        S::Property<&ScriptGameState::initializeFunction>("initializeFunction"),
        S::Property<&ScriptGameState::updateFunction>("updateFunction"),
        S::Property<&ScriptGameState::cleanupFunction>("cleanupFunction"),
    }),
    GameStateOptions<ScriptGameState>());
} // namespace
