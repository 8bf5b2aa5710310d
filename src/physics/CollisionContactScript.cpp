#include "physics/CollisionContact.h"

#include "script/ScriptClass.h"

namespace {

constexpr const char* kImpulseNote =
    "the largest impulse the solver applied at the contact in the last step of the frame the "
    "bodies met in; 0 for a "
    "trigger";

using S = script::ScriptClass<CollisionContact>;
const S collisionContactClass(
    "CollisionContact", {
                            S::Property<&CollisionContact::point>("point").Noted("world point"),
                            S::Property<&CollisionContact::normal>("normal").Noted(
                                "unit vector from the other body into this one"),
                            S::Property<&CollisionContact::impulse>("impulse").Noted(kImpulseNote),
                        });

} // namespace
