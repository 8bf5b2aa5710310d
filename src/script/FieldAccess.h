#pragma once

// What engine tools (the inspector) need to read and write a bound property
// from C++, without going through a script: each property entry of a class
// table carries it, so whatever scripts can edit, the tools can edit too, and
// a new property shows up in both from the one table. Free of the script
// engine's headers.

#include <limits>
#include <string>
#include <typeinfo>
#include <variant>
#include <vector>

#include <glm/gtc/quaternion.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

namespace script {

// Numbers of every C++ type travel as double; monostate means "nothing to
// show" (a getter that failed).
using FieldValue = std::variant<std::monostate, double, bool, std::string, glm::vec2, glm::vec3,
                                glm::vec4, glm::quat>;

struct FieldAccess {
    // Null for properties whose type has no plain value (objects, callbacks).
    FieldValue (*get)(void* object) = nullptr;
    // Null for read-only properties. A value of another kind than `get`
    // gives is ignored; a setter's script error is reported, not left pending.
    void (*set)(void* object, const FieldValue& value) = nullptr;
    bool integral = false; // an integer type: edits are rounded
    // The field may hold kLibraryDefault, meaning "leave the library's own value".
    bool libraryDefault = false;
};

// What a float property holds to keep the library's own value; it travels
// here as a double, exactly.
constexpr double kLibraryDefault = std::numeric_limits<float>::max();

struct EditableField {
    std::string name;
    FieldAccess access;
    const char* note = nullptr; // the reference's text beyond the type
    const char* hint = nullptr; // a few words tools show beside the field
};

// The properties of the class bound to `type` that have a plain value, in
// table order; empty for a type no class binds.
std::vector<EditableField> EditableFieldsOf(const std::type_info& type);

// Whether a property of this name holds a colour (shown with a colour picker).
bool IsColourName(const std::string& name);

} // namespace script
