#pragma once

// A "MouseClickRay" object carries its two points in reserved slots 0 and 1
// (start and end, each a [x, y, z] array), so it stays valid on its own.
// Script-layer header: only binding files include it.

#include "graphics/Projection.h"
#include "script/ScriptValue.h"

namespace script {
template <> struct Convert<MouseRay> {
    static std::string Name() { return "MouseClickRay"; }
    static std::string TsName() { return "MouseClickRay"; }
    // Null when the object cannot be made.
    static bool ToScript(JSContext* cx, const MouseRay& value, JS::MutableHandleValue out);
};
} // namespace script
