// Collision shapes to and from their description in a scene file.

#include "physics/ShapeDescription.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <memory>

#include <btBulletCollisionCommon.h>
#include <nlohmann/json.hpp>

#include "physics/BulletConvert.h"

namespace {
using Json = nlohmann::ordered_json;

struct KindName {
    ShapeKind kind;
    const char* name;
    bool halfExtents; // else radius, and height when `height`
    bool height;
};
constexpr KindName kKinds[] = {
    {ShapeKind::Sphere, "sphere", false, false},    {ShapeKind::Box, "box", true, false},
    {ShapeKind::Cylinder, "cylinder", true, false}, {ShapeKind::Capsule, "capsule", false, true},
    {ShapeKind::Cone, "cone", false, true},         {ShapeKind::Compound, "compound", false, false},
    {ShapeKind::Empty, "empty", false, false},
};

const KindName* Named(const std::string& name) {
    for (const KindName& k : kKinds)
        if (name == k.name)
            return &k;
    return nullptr;
}

bool IsSize(const Json& value) {
    return value.is_number() && std::isfinite(value.get<double>()) && value.get<double>() >= 0.0 &&
           value.get<double>() <= FLT_MAX;
}

// The shortest decimal that reads back to the float, so that the file says 0.3
// rather than the 0.30000001192092896 the float widens to.
double Saved(float value) {
    char digits[32];
    *std::to_chars(digits, digits + sizeof digits - 1, value).ptr = '\0';
    return std::strtod(digits, nullptr);
}
} // namespace

void DescribeShape(ShapeKind kind, const btCollisionShape* shape, Json& out) {
    out = nullptr;
    if (!shape || kind == ShapeKind::NotSet)
        return;
    for (const KindName& k : kKinds)
        if (k.kind == kind)
            out = Json{{"kind", k.name}};
    switch (kind) {
    case ShapeKind::Sphere:
        out["radius"] = Saved(static_cast<const btSphereShape*>(shape)->getRadius());
        break;
    case ShapeKind::Box:
    case ShapeKind::Cylinder: {
        const btVector3 half =
            kind == ShapeKind::Box
                ? static_cast<const btBoxShape*>(shape)->getHalfExtentsWithMargin()
                : static_cast<const btCylinderShape*>(shape)->getHalfExtentsWithMargin();
        out["halfExtents"] = {Saved(half.x()), Saved(half.y()), Saved(half.z())};
        break;
    }
    case ShapeKind::Capsule: {
        const auto* capsule = static_cast<const btCapsuleShape*>(shape);
        out["radius"] = Saved(capsule->getRadius());
        out["height"] = Saved(2.0f * capsule->getHalfHeight());
        break;
    }
    case ShapeKind::Cone: {
        const auto* cone = static_cast<const btConeShape*>(shape);
        out["radius"] = Saved(cone->getRadius());
        out["height"] = Saved(cone->getHeight());
        break;
    }
    default:
        break;
    }
}

bool CheckShapeDescription(const Json& in, std::string& problem) {
    if (in.is_null())
        return true;
    if (!in.is_object() || !in.contains("kind") || !in["kind"].is_string()) {
        problem = "a shape is null or an object with a \"kind\"";
        return false;
    }
    const KindName* kind = Named(in["kind"].get<std::string>());
    if (!kind) {
        problem = "unknown shape kind " + in["kind"].dump() +
                  " (sphere, box, cylinder, capsule, cone, compound or empty)";
        return false;
    }
    for (auto it = in.begin(); it != in.end(); ++it) {
        const std::string& key = it.key();
        const bool known = key == "kind" || (key == "halfExtents" && kind->halfExtents) ||
                           (key == "radius" && !kind->halfExtents &&
                            kind->kind != ShapeKind::Compound && kind->kind != ShapeKind::Empty) ||
                           (key == "height" && kind->height);
        if (!known) {
            problem = "a " + std::string(kind->name) + " shape has no \"" + key + "\"";
            return false;
        }
    }
    auto need = [&](const char* key) {
        if (in.contains(key) && IsSize(in[key]))
            return true;
        problem = std::string("\"") + key + "\" must be a number >= 0";
        return false;
    };
    if (kind->halfExtents) {
        const Json* half = in.contains("halfExtents") ? &in["halfExtents"] : nullptr;
        if (!half || !half->is_array() || half->size() != 3 ||
            !std::all_of(half->begin(), half->end(), IsSize)) {
            problem = "\"halfExtents\" must be an array of 3 numbers >= 0";
            return false;
        }
        return true;
    }
    if (kind->kind == ShapeKind::Compound || kind->kind == ShapeKind::Empty)
        return true;
    return need("radius") && (!kind->height || need("height"));
}

std::uint32_t MakeShape(const Json& in) {
    const KindName* kind = Named(in["kind"].get<std::string>());
    auto number = [&](const char* key) { return in[key].get<float>(); };
    std::unique_ptr<btCollisionShape> shape;
    switch (kind->kind) {
    case ShapeKind::Sphere:
        shape = std::make_unique<btSphereShape>(number("radius"));
        break;
    case ShapeKind::Box:
    case ShapeKind::Cylinder: {
        const btVector3 half(in["halfExtents"][0].get<float>(), in["halfExtents"][1].get<float>(),
                             in["halfExtents"][2].get<float>());
        if (kind->kind == ShapeKind::Box)
            shape = std::make_unique<btBoxShape>(half);
        else
            shape = std::make_unique<btCylinderShape>(half);
        break;
    }
    case ShapeKind::Capsule:
        shape = std::make_unique<btCapsuleShape>(number("radius"), number("height"));
        break;
    case ShapeKind::Cone:
        shape = std::make_unique<btConeShape>(number("radius"), number("height"));
        break;
    case ShapeKind::Compound:
        shape = std::make_unique<btCompoundShape>(true);
        break;
    default:
        shape = std::make_unique<btEmptyShape>();
        break;
    }
    return Shape::Add(kind->kind, std::move(shape));
}
