#include "physics/PhysicsSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's PhysicsSystem_ property asks for a new wrapper on every read.
JSObject* PhysicsSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<PhysicsSystem>;
const S physicsSystemClass("PhysicsSystem", {});
} // namespace
