#include "physics/Shape.h"

#include <cmath>
#include <optional>

#include <btBulletCollisionCommon.h>

#include "physics/BulletConvert.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"

namespace {

using Ref = script::IndexedRef<Shape>;

Ref Make(ShapeKind kind, btCollisionShape* shape) {
    return {Shape::Add(kind, std::unique_ptr<btCollisionShape>(shape))};
}

// Negative or non-finite sizes would give the library NaN bounds, which break
// the broadphase for every body; they are a script error instead.
bool Size(const char* creator, const char* what, float value) {
    if (std::isfinite(value) && value >= 0.0f)
        return true;
    ScriptHost::Instance().ReportError(
        "Error in Shape.%s: %s must be a finite number >= 0, not %g.", creator, what,
        static_cast<double>(value));
    return false;
}

bool Sizes(const char* creator, const glm::vec3& halfExtents) {
    return Size(creator, "halfExtents[0]", halfExtents.x) &&
           Size(creator, "halfExtents[1]", halfExtents.y) &&
           Size(creator, "halfExtents[2]", halfExtents.z);
}

std::optional<Ref> SphereShape(float radius) {
    if (!Size("SphereShape", "radius", radius))
        return std::nullopt;
    return Make(ShapeKind::Sphere, new btSphereShape(radius));
}
std::optional<Ref> BoxShape(glm::vec3 halfExtents) {
    if (!Sizes("BoxShape", halfExtents))
        return std::nullopt;
    return Make(ShapeKind::Box, new btBoxShape(ToBullet(halfExtents)));
}
std::optional<Ref> CylinderShape(glm::vec3 halfExtents) {
    if (!Sizes("CylinderShape", halfExtents))
        return std::nullopt;
    return Make(ShapeKind::Cylinder, new btCylinderShape(ToBullet(halfExtents)));
}
std::optional<Ref> CapsuleShape(float radius, float height) {
    if (!Size("CapsuleShape", "radius", radius) || !Size("CapsuleShape", "height", height))
        return std::nullopt;
    return Make(ShapeKind::Capsule, new btCapsuleShape(radius, height));
}
std::optional<Ref> ConeShape(float radius, float height) {
    if (!Size("ConeShape", "radius", radius) || !Size("ConeShape", "height", height))
        return std::nullopt;
    return Make(ShapeKind::Cone, new btConeShape(radius, height));
}
Ref CompoundShape() {
    return Make(ShapeKind::Compound, new btCompoundShape(true));
}
Ref NoShape() {
    return Make(ShapeKind::Empty, new btEmptyShape());
}

script::ClassOptions<Shape> ShapeOptions() {
    script::ClassOptions<Shape> options;
    options.lookup = [](const Ref& ref) { return Shape::Find(ref.index); };
    options.indexName = "shape id";
    options.goneText = "a body took it when its object was initialized; make one Shape per body";
    return options;
}

using S = script::ScriptClass<Shape>;
const S shapeClass("Shape",
                   {
                       S::Function<&SphereShape>("SphereShape").Args("radius"),
                       S::Function<&BoxShape>("BoxShape").Args("halfExtents"),
                       S::Function<&CylinderShape>("CylinderShape").Args("halfExtents"),
                       S::Function<&CapsuleShape>("CapsuleShape").Args("radius, height"),
                       S::Function<&ConeShape>("ConeShape").Args("radius, height"),
                       S::Function<&CompoundShape>("CompoundShape"),
                       S::Function<&NoShape>("NoShape"),
                       S::Method<&Shape::GetHalfExtents>("GetHalfExtents"),
                       S::Method<&Shape::GetRadius>("GetRadius"),
                       S::Method<&Shape::GetHeight>("GetHeight"),
                   },
                   ShapeOptions());

} // namespace
