#pragma once

// A collision shape as scene files keep it: its kind and the sizes it was made
// with ({"kind": "box", "halfExtents": [1, 2, 1]}), enough to make the same
// shape again. A compound shape is kept as an empty compound (scripts cannot
// give one children).

#include <cstdint>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "physics/Shape.h"

class btCollisionShape;

// Null for no shape.
void DescribeShape(ShapeKind kind, const btCollisionShape* shape, nlohmann::ordered_json& out);
// True for null or a description MakeShape takes; else `problem` says what is wrong.
bool CheckShapeDescription(const nlohmann::ordered_json& in, std::string& problem);
// A new Shape in the table, for a description CheckShapeDescription accepted
// (not null).
std::uint32_t MakeShape(const nlohmann::ordered_json& in);
