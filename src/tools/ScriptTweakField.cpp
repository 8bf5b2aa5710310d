#include "tools/ScriptTweakField.h"

#include <cmath>
#include <limits>

ScriptTweakField::ScriptTweakField(std::string name, Kind kind, std::string definition)
    : name(std::move(name)), kind(kind), definition(std::move(definition)) {}

std::int32_t ScriptTweakField::GetTweakType() const {
    switch (kind) {
    case Kind::Number:
        return kTweakFloat;
    case Kind::Integer:
    case Kind::Enum:
        return kTweakInt32;
    case Kind::Bool:
        return kTweakBool8;
    case Kind::Color3:
        return kTweakColor3f;
    case Kind::Color4:
        return kTweakColor4f;
    case Kind::String:
        return kTweakStdString;
    }
    return 0;
}

void* ScriptTweakField::Variable() {
    switch (kind) {
    case Kind::Number:
    case Kind::Color3:
    case Kind::Color4:
        return numbers;
    case Kind::Integer:
    case Kind::Enum:
        return &integer;
    case Kind::Bool:
        return &flag;
    case Kind::String:
        return &text;
    }
    return nullptr;
}

TweakValue ScriptTweakField::GetValue() const {
    switch (kind) {
    case Kind::Number:
        return static_cast<double>(numbers[0]);
    case Kind::Integer:
    case Kind::Enum:
        return static_cast<double>(integer);
    case Kind::Bool:
        return flag != 0;
    case Kind::Color3:
        return glm::vec3(numbers[0], numbers[1], numbers[2]);
    case Kind::Color4:
        return glm::vec4(numbers[0], numbers[1], numbers[2], numbers[3]);
    case Kind::String:
        return text;
    }
    return false;
}

bool ScriptTweakField::SetValue(const TweakValue& value, std::string& error) {
    switch (kind) {
    case Kind::Number:
        if (const double* number = std::get_if<double>(&value)) {
            numbers[0] = static_cast<float>(*number);
            return true;
        }
        error = "a number";
        return false;
    case Kind::Integer:
    case Kind::Enum: {
        const double* number = std::get_if<double>(&value);
        const bool whole = number && std::isfinite(*number) && std::trunc(*number) == *number &&
                           std::fabs(*number) <= std::numeric_limits<std::int32_t>::max();
        const bool labelled =
            kind == Kind::Integer || (whole && *number >= 0 && *number < enumLabels.size());
        if (whole && labelled) {
            integer = static_cast<std::int32_t>(*number);
            return true;
        }
        error = kind == Kind::Integer
                    ? "a whole number"
                    : "the index of one of its " + std::to_string(enumLabels.size()) + " labels";
        return false;
    }
    case Kind::Bool:
        if (const bool* on = std::get_if<bool>(&value)) {
            flag = *on ? 1 : 0;
            return true;
        }
        // As everywhere in scripts, a number stands for a boolean too.
        if (const double* number = std::get_if<double>(&value)) {
            flag = *number != 0.0 && !std::isnan(*number) ? 1 : 0;
            return true;
        }
        error = "true or false";
        return false;
    case Kind::Color3:
        if (const glm::vec3* color = std::get_if<glm::vec3>(&value)) {
            for (int i = 0; i < 3; ++i)
                numbers[i] = (*color)[i];
            return true;
        }
        error = "a colour [r, g, b]";
        return false;
    case Kind::Color4:
        if (const glm::vec4* color = std::get_if<glm::vec4>(&value)) {
            for (int i = 0; i < 4; ++i)
                numbers[i] = (*color)[i];
            return true;
        }
        error = "a colour [r, g, b, a]";
        return false;
    case Kind::String:
        if (const std::string* string = std::get_if<std::string>(&value)) {
            text = *string;
            return true;
        }
        error = "a string";
        return false;
    }
    return false;
}
