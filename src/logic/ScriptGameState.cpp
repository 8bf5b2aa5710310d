#include "logic/ScriptGameState.h"

ScriptGameState& ScriptGameState::Instance() {
    static ScriptGameState instance;
    return instance;
}
