#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "objects/GameObject.h"
#include "scene/Scene.h"
#include "script/FieldAccess.h"

// A component as values, so that an edit that removed it can be taken back:
// every plain property the binding tables give C++ access to, and what has no
// plain value (a shown model, a texture, a body's shape, script callbacks and
// data) kept as the engine holds it, for as long as the snapshot lives.
struct ComponentSnapshot {
    std::size_t typeIndex = 0; // in the order of the component type list
    std::vector<std::pair<std::string, script::FieldValue>> fields;
    // Puts the members without a plain value back into a slot of the type; may be empty.
    std::function<void(void* slot)> restoreKept;

    // The component of that type index on `obj`; typeIndex is out of range
    // (kComponentTypeCount) when it has none.
    static ComponentSnapshot Of(const GameObject& obj, std::size_t typeIndex);
    // Attaches the component again with these values and initializes it, as
    // the panel's Add does. False when the object is gone or has one already.
    bool Restore(const GameObject& obj) const;
};

// An object's components as values. The object may be deleted meanwhile:
// restoring makes a new object (with a new id) with the same components and
// values, initialized as a script initializes the objects it makes.
struct ObjectSnapshot {
    std::vector<ComponentSnapshot> components;
    // Its name, behaviours and level file come back with it.
    Scene::Record scene;

    static ObjectSnapshot Of(const GameObject& obj);
    // The invalid handle when no object could be made.
    GameObject Restore() const;
};

// The type index of a component type by its script name; kComponentTypeCount
// for none.
std::size_t ComponentTypeIndexOf(const std::string& typeName);
// Calls `visit(component, type)` with the component of that type index when
// `obj` has it attached.
void VisitComponent(const GameObject& obj, std::size_t typeIndex,
                    const std::function<void(void* component, const std::type_info& type)>& visit);
