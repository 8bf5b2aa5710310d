#include "graphics/GraphicsSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's GraphicsSystem_ property asks for a new wrapper on every read.
JSObject* GraphicsSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<GraphicsSystem>;
const S graphicsSystemClass("GraphicsSystem", {});
} // namespace
