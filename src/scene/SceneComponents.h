#pragma once

// The component types as scene files see them, read from the binding tables:
// the name a file uses, how to attach one and find an attached one, and the
// properties a file keeps, with what each holds. Plain values are read and
// written through the tables' C++ access (FieldAccess.h); engine objects, game
// objects and script data through the tables' own script accessors, which
// scene files call on the component with the value, never with code of the file.

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include "objects/GameObject.h"
#include "scene/SceneText.h"
#include "script/FieldAccess.h"
#include "script/SavedProperties.h"
#include "script/ScriptData.h"

namespace scene {

using IndexOf = std::function<std::optional<std::size_t>(const GameObject&)>;
using ObjectAt = std::function<GameObject(std::size_t)>;

struct SavedProperty {
    enum class Kind {
        Number,
        Boolean,
        Text,
        Vec2,
        Vec3,
        Vec4,
        Quat,
        Asset,
        Reference,
        Data,
        Custom
    };
    std::string name;
    Kind kind;
    script::FieldAccess access;   // plain kinds
    bool singlePrecision = false; // a number held as a float
    std::string assetClass;       // Asset: the script class of the object ("Texture")
    const script::CustomSaved* custom = nullptr;
    const void* member = nullptr; // the table entry, for the accessor kinds
};

struct ComponentKind {
    std::size_t index;
    std::string_view name;
    const std::type_info* type;
    // The attached component, or null.
    void* (*attached)(const GameObject& obj);
    // Attaches one, starting from a component never used (OnAdd runs); null
    // when the object is outside the store.
    void* (*add)(const GameObject& obj);
    // A component never attached, for trying a value on.
    void* scratch;
    std::vector<SavedProperty> properties;
};

// Every type, in the engine's order (the order of a file's components).
const std::vector<ComponentKind>& ComponentKinds();
// Null for a name no type has.
const ComponentKind* ComponentKindNamed(std::string_view name);

// The asset kind of an Asset property, or null while no system registered it.
const script::AssetKind* AssetKindFor(const SavedProperty& property);

// What a file keeps of an Asset, Reference or Data property of the attached
// component of `owner`: the object (asset), read through the table's getter,
// into `asset`, or the JSON of a reference or of data. `assets` is
// AssetKindFor(property), looked up once by the caller.
void ReadAccessorProperty(const ComponentKind& kind, const SavedProperty& property,
                          const GameObject& owner, const IndexOf& indexOf, Json& out,
                          const void*& asset, const script::AssetKind* assets);
// Writes such a property through the table's setter: `asset` for an Asset,
// else the JSON (checked before), references taken from `objectAt`.
void WriteAccessorProperty(const ComponentKind& kind, const SavedProperty& property,
                           const GameObject& owner, const Json& value, void* asset,
                           const ObjectAt& objectAt, const script::AssetKind* assets);

// A behaviour's data as JSON (null for none), and back.
Json DataToJson(const ScriptData& data, const IndexOf& indexOf);
ScriptData DataFromJson(const Json& json, const ObjectAt& objectAt);

// Whether the property takes the value as it is (a whole number in the range of
// its integer, a name its setter knows): tried on the scratch component.
bool ValueFits(const ComponentKind& kind, const SavedProperty& property,
               const script::FieldValue& value);

} // namespace scene
