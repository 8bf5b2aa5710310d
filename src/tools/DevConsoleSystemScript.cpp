#include "tools/DevConsoleSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's DevConsoleSystem_ property asks for a new wrapper on every read.
JSObject* DevConsoleSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<DevConsoleSystem>;
const S devConsoleSystemClass("DevConsoleSystem",
                              {
                                  S::Method<&DevConsoleSystem::IsVisible>("IsVisible"),
                              });
} // namespace
