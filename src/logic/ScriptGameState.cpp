#include "logic/ScriptGameState.h"

#include <algorithm>
#include <vector>

namespace {
// Every state alive, for ForgetAllFunctions. Never destroyed: states made by
// scripts are freed when the script engine shuts down, which at exit comes
// after the destruction of ordinary statics.
std::vector<ScriptGameState*>& Living() {
    static auto* states = new std::vector<ScriptGameState*>;
    return *states;
}
std::size_t sharedStates = 0;
} // namespace

ScriptGameState::ScriptGameState() {
    Living().push_back(this);
}

ScriptGameState::~ScriptGameState() {
    auto& living = Living();
    living.erase(std::remove(living.begin(), living.end(), this), living.end());
}

ScriptGameState& ScriptGameState::Instance() {
    static ScriptGameState instance;
    return instance;
}

ScriptGameState* ScriptGameState::NewShared() {
    auto* state = new ScriptGameState;
    state->holding.MakeShared(sharedStates);
    return state;
}

std::size_t ScriptGameState::GetSharedCount() {
    return sharedStates;
}

void ScriptGameState::ForgetAllFunctions() {
    for (ScriptGameState* state : Living()) {
        state->initializeFunction.Reset();
        state->updateFunction.Reset();
        state->cleanupFunction.Reset();
    }
}

void ScriptGameState::AddHolder() {
    holding.Add();
}

void ScriptGameState::RemoveHolder() {
    if (holding.Remove())
        delete this;
}
