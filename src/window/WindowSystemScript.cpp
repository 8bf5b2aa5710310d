#include "window/WindowSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's WindowSystem_ property asks for a new wrapper on every read.
JSObject* WindowSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<WindowSystem>;
const S windowSystemClass("WindowSystem", {});
} // namespace
