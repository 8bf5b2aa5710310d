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

std::vector<GameObject> OverlapSphere(PhysicsSystem& physics, glm::vec3 center, float radius,
                                      script::OptionalArg<std::uint16_t> mask) {
    return physics.OverlapSphere(center, radius, mask.Or(PhysicsSystem::kAllGroups));
}

std::vector<GameObject> OverlapBox(PhysicsSystem& physics, glm::vec3 center, glm::vec3 halfExtents,
                                   script::OptionalArg<std::uint16_t> mask) {
    return physics.OverlapBox(center, halfExtents, mask.Or(PhysicsSystem::kAllGroups));
}

constexpr const char* kOverlapNote =
    "the objects whose bodies overlap it, by id; bodies are chosen as for RayTestClosestPoint, "
    "only the groups in mask when one is given (7, all of them, by default)";

using S = script::ScriptClass<PhysicsSystem>;
const S physicsSystemClass(
    "PhysicsSystem",
    {
        S::Property<&PhysicsSystem::stepMode>("stepMode"),
        S::Property<&PhysicsSystem::debugDraw>("debugDraw"),
        S::Property<&PhysicsSystem::makeGroundPlane>("makeGroundPlane"),
        S::Property<&PhysicsSystem::gravity>("gravity"),
        S::Method<&RayTestClosestPoint>("RayTestClosestPoint").Args("from, to"),
        S::Method<&OverlapSphere>("OverlapSphere").Args("center, radius, mask").Noted(kOverlapNote),
        S::Method<&OverlapBox>("OverlapBox").Args("center, halfExtents, mask").Noted(kOverlapNote),
    });

} // namespace
