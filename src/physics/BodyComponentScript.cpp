#include "physics/BodyComponent.h"

#include <nlohmann/json.hpp>

#include "objects/ComponentScript.h"
#include "physics/ShapeDescription.h"
#include "script/SavedProperties.h"

namespace {

using ShapeRef = script::IndexedRef<Shape>;

// A new Shape object around the pending shape; null when none was assigned or
// a body has taken it since.
std::optional<ShapeRef> GetShape(const BodyComponent& body) {
    if (!body.pendingShape || !Shape::Find(*body.pendingShape))
        return std::nullopt;
    return ShapeRef{*body.pendingShape};
}

// Only a live Shape object is accepted (null clears the assignment), so a shape
// that a body already took is a script error here, not a surprise at
// initialization.
void SetShape(BodyComponent& body, std::optional<Shape*> shape) {
    if (shape)
        body.pendingShape = (*shape)->GetId();
    else
        body.pendingShape.reset();
}

// A built body owns its shape, which scripts no longer see; scene files keep
// the body's shape all the same, live or still waiting to be built.
void SaveShape(const void* owner, nlohmann::ordered_json& out) {
    const auto& body = *static_cast<const BodyComponent*>(owner);
    if (body.GetCollisionShape()) {
        DescribeShape(body.GetShapeKind(), body.GetCollisionShape(), out);
        return;
    }
    const Shape* pending = body.pendingShape ? Shape::Find(*body.pendingShape) : nullptr;
    DescribeShape(pending ? pending->GetKind() : ShapeKind::NotSet,
                  pending ? pending->GetCollisionShape() : nullptr, out);
}
void LoadShape(void* owner, const nlohmann::ordered_json& in) {
    auto& body = *static_cast<BodyComponent*>(owner);
    if (in.is_null())
        body.pendingShape.reset();
    else
        body.pendingShape = MakeShape(in);
}

constexpr const char* kAllowSleepNote =
    "default true; false keeps the body awake. Kinematic bodies never sleep";
constexpr const char* kSleepingNote =
    "a body at rest for about two seconds sleeps until something touches it, a velocity, force "
    "or torque is given to it, or its transform is moved";

constexpr const char* kTriggerNote =
    "a trigger reports touches like any body, but nothing collides with it";
constexpr const char* kEnterNote =
    "(obj, other, contact) when the body starts touching another; other is null for the ground "
    "plane, contact a CollisionContact to read during the call";
constexpr const char* kExitNote =
    "(obj, other) when they stop touching, also when either body is removed or deleted";

static_assert(static_cast<double>(BodyComponent::kUnset) == script::kLibraryDefault,
              "tools show a surface value left unset as the library's default");

const bool shapeSaved = script::RegisterSavedProperty(
    typeid(BodyComponent), "shape", {&SaveShape, &CheckShapeDescription, &LoadShape});

using S = script::ScriptClass<BodyComponent>;
const S bodyComponentClass(
    "BodyComponent",
    {
        S::Property<&BodyComponent::isKinematic>("isKinematic"),
        S::Property<&BodyComponent::initialMass>("initialMass"),
        S::Property<&BodyComponent::initialLocalInertia>("initialLocalInertia"),
        S::Property<&BodyComponent::initialRestitution>("initialRestitution").DefaultWhenUnset(),
        S::Property<&BodyComponent::initialFriction>("initialFriction").DefaultWhenUnset(),
        S::Property<&BodyComponent::initialRollingFriction>("initialRollingFriction")
            .DefaultWhenUnset(),
        S::Property<&BodyComponent::initialTorque>("initialTorque"),
        S::Property<&BodyComponent::initialForce>("initialForce"),
        S::Property<&BodyComponent::initialVelocity>("initialVelocity"),
        S::Property<&BodyComponent::initialAngularVelocity>("initialAngularVelocity"),
        S::Property<&BodyComponent::collisionType>("collisionType"),
        S::Property<&BodyComponent::collidesWith>("collidesWith"),
        S::Property<&BodyComponent::originOffset>("originOffset"),
        S::Property<&GetShape, &SetShape>("shape"),
        S::Property<&BodyComponent::GetAllowSleep, &BodyComponent::SetAllowSleep>("allowSleep")
            .Noted(kAllowSleepNote),
        S::Property<&BodyComponent::IsTrigger, &BodyComponent::SetTrigger>("isTrigger")
            .Noted(kTriggerNote),
        S::Property<&BodyComponent::GetCollisionEnterFunction,
                    &BodyComponent::SetCollisionEnterFunction>("onCollisionEnterFunction")
            .Noted(kEnterNote),
        S::Property<&BodyComponent::GetCollisionExitFunction,
                    &BodyComponent::SetCollisionExitFunction>("onCollisionExitFunction")
            .Noted(kExitNote),
        S::Method<&BodyComponent::SetVelocity>("SetVelocity").Args("velocity"),
        S::Method<&BodyComponent::SetAngularVelocity>("SetAngularVelocity").Args("velocity"),
        S::Method<&BodyComponent::ApplyTorque>("ApplyTorque").Args("torque"),
        S::Method<&BodyComponent::ApplyForce>("ApplyForce").Args("force"),
        S::Method<&BodyComponent::GetVelocity>("GetVelocity"),
        S::Method<&BodyComponent::GetAngularVelocity>("GetAngularVelocity"),
        S::Method<&BodyComponent::IsSleeping>("IsSleeping").Noted(kSleepingNote),
    },
    ComponentScriptOptions<BodyComponent>());

} // namespace
