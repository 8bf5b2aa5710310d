#include "inspector/FieldEditor.h"

#include <cmath>
#include <cstring>
#include <string>

#include <glm/gtc/quaternion.hpp>
#include <imgui.h>

namespace {

// The library-default marker is no number to show or to drag from: the field
// reads "default", and a drag or a typed value starts from 0.
bool EditNumber(const char* label, double& number, bool integral) {
    const double step = integral ? 1.0 : 0.01;
    const bool unset = !integral && number == script::kLibraryDefault;
    double shown = unset ? 0.0 : number;
    const char* format = unset ? "default" : integral ? "%.0f" : "%.3f";
    if (!ImGui::DragScalar(label, ImGuiDataType_Double, &shown, static_cast<float>(step), nullptr,
                           nullptr, format))
        return false;
    number = integral ? std::round(shown) : shown;
    return true;
}

bool EditText(const char* label, std::string& text) {
    char buffer[1024];
    std::strncpy(buffer, text.c_str(), sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    // Committed at once, not per keystroke: a sprite or model name half typed
    // would be loaded, and fail, with every letter.
    const bool entered =
        ImGui::InputText(label, buffer, sizeof buffer, ImGuiInputTextFlags_EnterReturnsTrue);
    if (!entered && !ImGui::IsItemDeactivatedAfterEdit())
        return false;
    text = buffer;
    return true;
}

// Euler angles in degrees (pitch about x, yaw about y, roll about z); an
// orientation the engine keeps unnormalised is shown as the unit one.
bool EditOrientation(const char* label, glm::quat& orientation) {
    const float size = glm::length(orientation);
    const glm::quat unit = size > 0.0f ? orientation / size : glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
    glm::vec3 degrees = glm::degrees(glm::eulerAngles(unit));
    if (!ImGui::DragFloat3(label, &degrees.x, 0.5f, -360.0f, 360.0f, "%.1f deg"))
        return false;
    orientation = glm::quat(glm::radians(degrees));
    return true;
}

} // namespace

bool EditFieldValue(const char* label, script::FieldValue& value, bool integral, bool colour) {
    if (double* number = std::get_if<double>(&value))
        return EditNumber(label, *number, integral);
    if (bool* flag = std::get_if<bool>(&value))
        return ImGui::Checkbox(label, flag);
    if (std::string* text = std::get_if<std::string>(&value))
        return EditText(label, *text);
    if (glm::vec2* v2 = std::get_if<glm::vec2>(&value))
        return ImGui::DragFloat2(label, &v2->x, 0.05f);
    if (glm::vec3* v3 = std::get_if<glm::vec3>(&value))
        return colour ? ImGui::ColorEdit3(label, &v3->x) : ImGui::DragFloat3(label, &v3->x, 0.05f);
    if (glm::vec4* v4 = std::get_if<glm::vec4>(&value))
        return colour ? ImGui::ColorEdit4(label, &v4->x) : ImGui::DragFloat4(label, &v4->x, 0.05f);
    if (glm::quat* q = std::get_if<glm::quat>(&value))
        return EditOrientation(label, *q);
    ImGui::TextDisabled("%s: (unreadable)", label);
    return false;
}
