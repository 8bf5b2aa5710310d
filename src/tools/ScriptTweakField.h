#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "tools/TweakBar.h"

// What a script reads from and writes to a field: a number (integer and enum fields
// too, an enum by its label's index), a true/false, a text or a colour of 3 or 4
// components from 0 to 1.
using TweakValue = std::variant<double, bool, std::string, glm::vec3, glm::vec4>;

// A panel field made by a script. Scripts have no memory the panel could write to, so
// the engine keeps the variable here, for as long as the field is on its panel; the
// script reads and writes it by the panel's and the field's names.
class ScriptTweakField {
  public:
    enum class Kind { Number, Integer, Bool, Color3, Color4, String, Enum };

    ScriptTweakField(std::string name, Kind kind, std::string definition);

    const std::string& GetName() const { return name; }
    Kind GetKind() const { return kind; }
    const std::string& GetDefinition() const { return definition; }
    // The type code of the panel control bound to Variable().
    std::int32_t GetTweakType() const;
    void* Variable();

    TweakValue GetValue() const;
    // False, with `error` saying what the field takes, when the value is of another kind
    // or an enum index has no label; nothing changes then.
    bool SetValue(const TweakValue& value, std::string& error);

    std::vector<std::string> enumLabels;

  private:
    std::string name;
    Kind kind;
    std::string definition;
    // The panel reads and writes these in place.
    float numbers[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    std::int32_t integer = 0;
    unsigned char flag = 0;
    std::string text;
};
