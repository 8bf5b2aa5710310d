#pragma once

#include <string>
#include <utility>
#include <vector>

#include "script/FieldAccess.h"
#include "script/ScriptCallback.h"

// A plain script object the engine keeps for a component (its `data`): the
// place for a script's own per-object state, which component wrappers cannot
// carry (each access makes a new one). It stays alive while stored. Engine
// tools read and edit its plain values without running any script: only own
// data properties count, never getters, setters or proxies.
class ScriptData {
  public:
    bool IsNull() const { return stored.IsNull(); }
    void Reset() { stored = ScriptCallback(); }
    // Stores a new empty object when none is stored (and a script host runs).
    void Ensure();

    // The own data properties holding a number, a boolean, a string or an
    // array of exactly three numbers (as glm::vec3), in property order.
    std::vector<std::pair<std::string, script::FieldValue>> ReadPlainValues() const;
    // Replaces the value of one such property with a value of the same kind;
    // false, changing nothing, for any other property or kind.
    bool WritePlainValue(const std::string& key, const script::FieldValue& value);

  private:
    template <class T, class Enable> friend struct script::Convert;
    ScriptCallback stored; // an object, or null
};

// The `data` property of a component that keeps one, for its binding table:
// the first read makes the empty object.
template <class C> ScriptData& GetScriptData(C& component) {
    component.data.Ensure();
    return component.data;
}
template <class C> void SetScriptData(C& component, ScriptData data) {
    component.data = std::move(data);
}
inline constexpr const char kScriptDataNote[] =
    "the script's own state for this object: an empty object made on first read, or any "
    "object set; null lets it go. A new one with every add. The inspector shows and edits its "
    "numbers, booleans, strings and 3-number arrays";
