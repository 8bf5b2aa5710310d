#include "physics/Shape.h"

#include <unordered_map>

#include <btBulletCollisionCommon.h>

namespace {

struct ShapeTable {
    // Node-based: a Shape's address stays put while others come and go.
    std::unordered_map<std::uint32_t, Shape> shapes;
    std::uint32_t nextId = 0;
};

ShapeTable& Table() {
    static ShapeTable table;
    return table;
}

} // namespace

Shape::Shape(ShapeKind kind, std::unique_ptr<btCollisionShape> shape)
    : kind(kind), shape(std::move(shape)) {}
Shape::~Shape() = default;
Shape::Shape(Shape&&) noexcept = default;
Shape& Shape::operator=(Shape&&) noexcept = default;

std::uint32_t Shape::Add(ShapeKind kind, std::unique_ptr<btCollisionShape> shape) {
    ShapeTable& table = Table();
    const std::uint32_t id = table.nextId++;
    Shape& added = table.shapes.emplace(id, Shape(kind, std::move(shape))).first->second;
    added.id = id;
    return id;
}

ShapeParameters ShapeParameters::Of(ShapeKind kind, const btCollisionShape* shape) {
    ShapeParameters parameters;
    parameters.kind = shape != nullptr ? kind : ShapeKind::NotSet;
    btVector3 half(0, 0, 0);
    switch (parameters.kind) {
    case ShapeKind::Box:
        half = static_cast<const btBoxShape&>(*shape).getHalfExtentsWithMargin();
        break;
    case ShapeKind::Cylinder:
        half = static_cast<const btCylinderShape&>(*shape).getHalfExtentsWithMargin();
        break;
    case ShapeKind::Sphere:
        parameters.radius = static_cast<const btSphereShape&>(*shape).getRadius();
        break;
    case ShapeKind::Capsule:
        parameters.radius = static_cast<const btCapsuleShape&>(*shape).getRadius();
        parameters.height = 2.0f * static_cast<const btCapsuleShape&>(*shape).getHalfHeight();
        break;
    case ShapeKind::Cone:
        parameters.radius = static_cast<const btConeShape&>(*shape).getRadius();
        parameters.height = static_cast<const btConeShape&>(*shape).getHeight();
        break;
    default:
        break;
    }
    parameters.halfExtents = {half.x(), half.y(), half.z()};
    return parameters;
}

std::optional<std::uint32_t> Shape::Add(const ShapeParameters& parameters) {
    const btVector3 half(parameters.halfExtents.x, parameters.halfExtents.y,
                         parameters.halfExtents.z);
    std::unique_ptr<btCollisionShape> shape;
    switch (parameters.kind) {
    case ShapeKind::Sphere:
        shape = std::make_unique<btSphereShape>(parameters.radius);
        break;
    case ShapeKind::Box:
        shape = std::make_unique<btBoxShape>(half);
        break;
    case ShapeKind::Cylinder:
        shape = std::make_unique<btCylinderShape>(half);
        break;
    case ShapeKind::Capsule:
        shape = std::make_unique<btCapsuleShape>(parameters.radius, parameters.height);
        break;
    case ShapeKind::Cone:
        shape = std::make_unique<btConeShape>(parameters.radius, parameters.height);
        break;
    case ShapeKind::Compound:
        shape = std::make_unique<btCompoundShape>(true);
        break;
    case ShapeKind::Empty:
        shape = std::make_unique<btEmptyShape>();
        break;
    case ShapeKind::NotSet:
        return std::nullopt;
    }
    return Add(parameters.kind, std::move(shape));
}

Shape* Shape::Find(std::uint32_t id) {
    ShapeTable& table = Table();
    const auto found = table.shapes.find(id);
    return found == table.shapes.end() ? nullptr : &found->second;
}

bool Shape::Take(std::uint32_t id, ShapeKind& kind, std::unique_ptr<btCollisionShape>& shape) {
    ShapeTable& table = Table();
    const auto found = table.shapes.find(id);
    if (found == table.shapes.end())
        return false;
    kind = found->second.kind;
    shape = std::move(found->second.shape);
    table.shapes.erase(found);
    return true;
}

std::size_t Shape::Count() {
    return Table().shapes.size();
}

glm::vec3 Shape::GetHalfExtents() const {
    btVector3 half(0, 0, 0);
    if (kind == ShapeKind::Box)
        half = static_cast<const btBoxShape&>(*shape).getHalfExtentsWithoutMargin();
    else if (kind == ShapeKind::Cylinder)
        half = static_cast<const btCylinderShape&>(*shape).getHalfExtentsWithoutMargin();
    return {half.x(), half.y(), half.z()};
}

float Shape::GetRadius() const {
    switch (kind) {
    case ShapeKind::Sphere:
        return static_cast<const btSphereShape&>(*shape).getRadius();
    case ShapeKind::Capsule:
        return static_cast<const btCapsuleShape&>(*shape).getRadius();
    case ShapeKind::Cone:
        return static_cast<const btConeShape&>(*shape).getRadius();
    default:
        return 0.0f;
    }
}

float Shape::GetHeight() const {
    if (kind == ShapeKind::Capsule)
        return 2.0f * static_cast<const btCapsuleShape&>(*shape).getHalfHeight();
    if (kind == ShapeKind::Cone)
        return static_cast<const btConeShape&>(*shape).getHeight();
    return 0.0f;
}
