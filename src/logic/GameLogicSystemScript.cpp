#include "logic/GameLogicSystem.h"

#include "logic/GameState.h"
#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's GameLogicSystem_ property asks for a new wrapper on every read.
JSObject* GameLogicSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<GameLogicSystem>;
const S gameLogicSystemClass(
    "GameLogicSystem",
    {
        S::Property<&GameLogicSystem::updateFunction>("updateFunction"),
        S::Property<&GameLogicSystem::debugDraw>("debugDraw"),
        S::Method<&GameLogicSystem::RestartCurrentGameState>("RestartCurrentGameState"),
        S::Method<&GameLogicSystem::SetCurrentGameState>("SetCurrentGameState").Args("state"),
    });
} // namespace
