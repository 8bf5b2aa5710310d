#include "tools/DemoState.h"

#include "logic/GameStateScript.h"

namespace {
using S = script::ScriptClass<DemoState>;
const S demoStateClass("DemoState", GameStateMembers<DemoState>(), GameStateOptions<DemoState>());
} // namespace
