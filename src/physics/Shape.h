#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <glm/vec3.hpp>

class btCollisionShape;

// What a collision shape is; the numbers are what scripts see.
enum class ShapeKind : std::uint32_t {
    Sphere = 0,
    Box = 1,
    Cylinder = 2,
    Capsule = 3,
    Cone = 4,
    Compound = 5,
    Empty = 6,  // an empty shape: collides with nothing
    NotSet = 7, // a body component that was given no shape
};

// What a shape is made of, as the functions that make one take it: enough to
// make the same shape again after the body that owned it is gone.
struct ShapeParameters {
    ShapeKind kind = ShapeKind::NotSet;
    glm::vec3 halfExtents{0.0f}; // boxes and cylinders, margin included
    float radius = 0.0f;         // spheres, capsules and cones
    float height = 0.0f;         // capsules (the straight part) and cones

    static ShapeParameters Of(ShapeKind kind, const btCollisionShape* shape);
};

// A collision shape a script made and has not yet given to a body. Shapes live
// in one table under ids that are never reused; script objects hold the id, so
// once a body has taken a shape (it owns it from then on) every old script
// object of it reports that it is gone instead of reaching the body's shape.
// Shapes that are never given to a body stay in the table until the program
// ends.
class Shape {
  public:
    Shape(ShapeKind kind, std::unique_ptr<btCollisionShape> shape);
    ~Shape();
    Shape(Shape&&) noexcept;
    Shape& operator=(Shape&&) noexcept;

    // Puts a new shape into the table; returns its id.
    static std::uint32_t Add(ShapeKind kind, std::unique_ptr<btCollisionShape> shape);
    // The shape under `id`, or null once a body has taken it.
    static Shape* Find(std::uint32_t id);
    // A new shape made from `parameters` put into the table; none for NotSet.
    static std::optional<std::uint32_t> Add(const ShapeParameters& parameters);
    // Removes the shape from the table and hands it over; false when there is
    // no shape under `id` (any more).
    static bool Take(std::uint32_t id, ShapeKind& kind, std::unique_ptr<btCollisionShape>& shape);
    // Shapes still waiting for a body.
    static std::size_t Count();

    // For boxes and cylinders the half extents as the library keeps them (each
    // axis less the collision margin); zero for other kinds.
    glm::vec3 GetHalfExtents() const;
    // Spheres (times their scaling), capsules and cones; zero for other kinds.
    float GetRadius() const;
    // The capsule's full height (twice its half height) or the cone's height;
    // zero for other kinds.
    float GetHeight() const;

    ShapeParameters GetParameters() const { return ShapeParameters::Of(kind, shape.get()); }
    ShapeKind GetKind() const { return kind; }
    const btCollisionShape* GetCollisionShape() const { return shape.get(); }
    std::uint32_t GetId() const { return id; }

  private:
    ShapeKind kind;
    std::unique_ptr<btCollisionShape> shape;
    std::uint32_t id = 0;
};
