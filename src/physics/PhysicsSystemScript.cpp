#include "physics/PhysicsSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's PhysicsSystem_ property asks for a new wrapper on every read.
JSObject* PhysicsSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {

// Each result is a copy of its own that the script object owns.
script::Owned<RayTestResult> RayTestClosestPoint(PhysicsSystem& physics, glm::vec3 from,
                                                 glm::vec3 to) {
    return {new RayTestResult(physics.RayTestClosestPoint(from, to))};
}

using S = script::ScriptClass<PhysicsSystem>;
const S
    physicsSystemClass("PhysicsSystem",
                       {
                           S::Property<&PhysicsSystem::stepMode>("stepMode"),
                           S::Property<&PhysicsSystem::debugDraw>("debugDraw"),
                           S::Property<&PhysicsSystem::makeGroundPlane>("makeGroundPlane"),
                           S::Property<&PhysicsSystem::gravity>("gravity"),
                           S::Method<&RayTestClosestPoint>("RayTestClosestPoint").Args("from, to"),
                       });

} // namespace
