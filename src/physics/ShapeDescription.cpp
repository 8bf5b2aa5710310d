// Collision shapes to and from their description in a scene file.

#include "physics/ShapeDescription.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include <nlohmann/json.hpp>

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
    const ShapeParameters parameters = ShapeParameters::Of(kind, shape);
    for (const KindName& k : kKinds)
        if (k.kind == parameters.kind)
            out = Json{{"kind", k.name}};
    if (out.is_null())
        return;
    const KindName& k = *Named(out["kind"].get<std::string>());
    if (k.halfExtents) {
        const glm::vec3& half = parameters.halfExtents;
        out["halfExtents"] = {Saved(half.x), Saved(half.y), Saved(half.z)};
    } else if (k.kind != ShapeKind::Compound && k.kind != ShapeKind::Empty) {
        out["radius"] = Saved(parameters.radius);
        if (k.height)
            out["height"] = Saved(parameters.height);
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
    const KindName& kind = *Named(in["kind"].get<std::string>());
    ShapeParameters parameters;
    parameters.kind = kind.kind;
    if (kind.halfExtents)
        parameters.halfExtents = {in["halfExtents"][0].get<float>(),
                                  in["halfExtents"][1].get<float>(),
                                  in["halfExtents"][2].get<float>()};
    if (in.contains("radius"))
        parameters.radius = in["radius"].get<float>();
    if (in.contains("height"))
        parameters.height = in["height"].get<float>();
    return *Shape::Add(parameters);
}
