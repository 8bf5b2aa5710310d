#pragma once

// Plain script data to JSON and back, without running any script: scene files
// keep a component's `data` and a behaviour's data this way. Only own data
// properties count (never getters, setters or proxies); null, booleans,
// numbers, strings, arrays and plain objects are kept, nested up to
// kMaxDepth; a game object becomes {"$object": n} with the n `indexOf` gives
// (null when it gives none). Functions and other values are left out; NaN and
// the infinities become null, as JSON.stringify makes them.
//
// Script-layer header: only .cpp files of the script layer and of bindings
// include it.

#include <cstddef>
#include <functional>
#include <optional>

#include <jsapi.h>
#include <nlohmann/json.hpp>

#include "objects/GameObject.h"

namespace script {

constexpr int kMaxJsonDepth = 32;

using IndexOfObject = std::function<std::optional<std::size_t>(const GameObject&)>;
using ObjectAtIndex = std::function<GameObject(std::size_t)>;

// The value of an own data property, without running anything; false for an
// accessor, a missing property or a failed lookup (the exception is dropped:
// a tool's look must not surface as a script error).
bool OwnDataValue(JSContext* cx, JS::HandleObject obj, JS::HandleId id, JS::MutableHandleValue out,
                  bool* writable = nullptr);

// False for a value that is not data (a function, undefined, an engine object
// other than a game object); no exception is left pending.
bool ValueToJson(JSContext* cx, JS::HandleValue value, nlohmann::ordered_json& out,
                 const IndexOfObject& indexOf, int depth = 0);

// {"$object": n} becomes objectAt(n); false only with an exception pending.
bool JsonToValue(JSContext* cx, const nlohmann::ordered_json& in, JS::MutableHandleValue out,
                 const ObjectAtIndex& objectAt);

} // namespace script
