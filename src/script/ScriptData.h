#pragma once

#include <memory>
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
    ScriptData();
    ScriptData(const ScriptData& other);
    ScriptData(ScriptData&& other) noexcept;
    ScriptData& operator=(const ScriptData& other);
    ScriptData& operator=(ScriptData&& other) noexcept;
    ~ScriptData();

    bool IsNull() const { return root == nullptr; }
    void Reset();
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
    std::unique_ptr<ScriptCallback::Root> root; // empty while null
};
