#include "tools/TweakBar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include <imgui.h>
#include <imgui_stdlib.h>

#include "tools/TweakGraph.h"

namespace {

std::size_t ValueSize(const TweakControl& control) {
    if (control.kind == TweakControl::Kind::Enum)
        return sizeof(std::int32_t);
    switch (control.type) {
    case kTweakBool8:
        return 1;
    case kTweakBool32:
    case kTweakInt32:
    case kTweakUint32:
    case kTweakFloat:
        return 4;
    case kTweakColor3f:
        return 3 * sizeof(float);
    case kTweakColor4f:
        return 4 * sizeof(float);
    default:
        return 0;
    }
}

template <class T> T Read(const TweakControl& control) {
    T value;
    std::memcpy(&value, control.shown.data(), sizeof(T));
    return value;
}

template <class T> void Store(TweakControl& control, T value) {
    std::memcpy(control.shown.data(), &value, sizeof(T));
}

std::string Problem(const std::string& key, const std::string& value, const char* what) {
    return key + "='" + value + "': " + what + "; ";
}

// A number field dragged with the mouse, held to the control's min and max
// where it has them.
template <class T>
bool DragNumber(const char* label, ImGuiDataType type, TweakControl& control, float speed,
                const char* format = nullptr) {
    const T lo = control.min ? static_cast<T>(*control.min) : T();
    const T hi = control.max ? static_cast<T>(*control.max) : T();
    return ImGui::DragScalar(label, type, control.shown.data(), speed, control.min ? &lo : nullptr,
                             control.max ? &hi : nullptr, format);
}

} // namespace

bool IsAcceptedTweakType(std::int32_t type) {
    switch (type) {
    case kTweakBool8:
    case kTweakBool32:
    case kTweakInt32:
    case kTweakUint32:
    case kTweakFloat:
    case kTweakColor3f:
    case kTweakColor4f:
    case kTweakStdString:
    case kTweakGraph:
        return true;
    default:
        return false;
    }
}

TweakBar::TweakBar(std::string name) : name(std::move(name)) {}

void TweakBar::AddVar(const std::string& varName, std::int32_t type, void* var) {
    TweakControl control;
    control.name = varName;
    control.type = type;
    control.var = var;
    controls.push_back(std::move(control));
    lastRefresh.reset(); // the new variable shows its value at once
}

void TweakBar::AddEnum(const std::string& varName, std::vector<std::string> labels, void* var) {
    TweakControl control;
    control.kind = TweakControl::Kind::Enum;
    control.name = varName;
    control.var = var;
    control.enumLabels = std::move(labels);
    controls.push_back(std::move(control));
    lastRefresh.reset();
}

void TweakBar::AddButton(const std::string& buttonName, TweakButtonCallback callback,
                         void* clientData) {
    TweakControl control;
    control.kind = TweakControl::Kind::Button;
    control.name = buttonName;
    control.callback = callback;
    control.clientData = clientData;
    controls.push_back(std::move(control));
}

bool TweakBar::RemoveVar(const std::string& controlName) {
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [&](const TweakControl& c) { return c.name == controlName; });
    if (it == controls.end())
        return false;
    controls.erase(it);
    return true;
}

bool TweakBar::RemoveVarBoundTo(const void* var) {
    const auto it = std::find_if(controls.begin(), controls.end(),
                                 [&](const TweakControl& c) { return c.var == var; });
    if (it == controls.end())
        return false;
    controls.erase(it);
    return true;
}

void TweakBar::RemoveAllVars() {
    controls.clear();
}

TweakControl* TweakBar::Find(const std::string& controlName) {
    for (TweakControl& control : controls)
        if (control.name == controlName)
            return &control;
    return nullptr;
}

const TweakControl* TweakBar::FindControl(const std::string& controlName) const {
    return const_cast<TweakBar*>(this)->Find(controlName);
}

std::string TweakBar::Define(const std::vector<std::pair<std::string, std::string>>& parameters) {
    std::string problems;
    for (const auto& [key, value] : parameters) {
        if (key == "position" || key == "size") {
            const auto pair = ParseTweakPair(value);
            if (!pair || (key == "size" && (pair->first <= 0 || pair->second <= 0))) {
                problems += Problem(key, value, "expected two numbers (sizes above 0)");
                continue;
            }
            if (key == "position")
                position =
                    sf::Vector2i(static_cast<int>(pair->first), static_cast<int>(pair->second));
            else
                size = sf::Vector2u(static_cast<unsigned>(pair->first),
                                    static_cast<unsigned>(pair->second));
            geometryChanged = true;
        } else if (key == "visible" || key == "iconified") {
            const auto flag = ParseTweakBool(value);
            if (!flag) {
                problems += Problem(key, value, "expected true or false");
                continue;
            }
            if (key == "visible") {
                visible = *flag;
            } else {
                iconified = *flag;
                iconifiedChanged = true;
            }
        } else if (key == "refresh") {
            const auto seconds = ParseTweakNumber(value);
            if (!seconds || *seconds < 0.0) {
                problems += Problem(key, value, "expected seconds, 0 or more");
                continue;
            }
            refresh = *seconds;
            lastRefresh.reset();
        } else if (key == "label") {
            label = value;
        } else if (key == "help") {
            help = value;
        } else {
            problems += Problem(key, value, "not a bar parameter");
        }
    }
    return problems;
}

std::string
TweakBar::DefineControl(const std::string& controlName,
                        const std::vector<std::pair<std::string, std::string>>& parameters) {
    TweakControl* control = Find(controlName);
    if (control == nullptr)
        return "bar '" + name + "' has no control '" + controlName + "'; ";
    std::string problems;
    for (const auto& [key, value] : parameters) {
        if (key == "label") {
            control->label = value;
        } else if (key == "help") {
            control->help = value;
        } else if (key == "readonly") {
            const auto flag = ParseTweakBool(value);
            if (flag)
                control->readOnly = *flag;
            else
                problems += Problem(key, value, "expected true or false");
        } else if (key == "min" || key == "max" || key == "step") {
            const auto number = ParseTweakNumber(value);
            if (!number) {
                problems += Problem(key, value, "expected a number");
                continue;
            }
            if (key == "min")
                control->min = *number;
            else if (key == "max")
                control->max = *number;
            else
                control->step = *number;
        } else if (key == "key") {
            control->shortcut = ParseTweakShortcut(value);
            if (!control->shortcut)
                problems += Problem(key, value, "not a key such as CTRL+s, x, DELETE or ESC");
        } else {
            problems += Problem(key, value, "not a control parameter");
        }
    }
    return problems;
}

void TweakBar::RefreshShownValues() {
    const auto now = std::chrono::steady_clock::now();
    if (lastRefresh && std::chrono::duration<double>(now - *lastRefresh).count() < refresh)
        return;
    lastRefresh = now;
    for (TweakControl& control : controls) {
        if (control.var == nullptr)
            continue;
        if (control.type == kTweakStdString && control.kind == TweakControl::Kind::Var)
            control.shownString = *static_cast<const std::string*>(control.var);
        else if (control.type == kTweakGraph)
            continue; // drawn from its own history every frame
        else
            std::memcpy(control.shown.data(), control.var, ValueSize(control));
    }
}

void TweakBar::WriteBack(TweakControl& control) {
    if (control.var == nullptr || control.readOnly || control.type == kTweakGraph)
        return;
    if (control.type == kTweakStdString && control.kind == TweakControl::Kind::Var)
        *static_cast<std::string*>(control.var) = control.shownString;
    else
        std::memcpy(control.var, control.shown.data(), ValueSize(control));
}

void TweakBar::Fire(TweakControl& control) {
    switch (control.kind) {
    case TweakControl::Kind::Button:
        if (control.callback != nullptr)
            control.callback(control.clientData);
        break;
    case TweakControl::Kind::Var:
        // A shortcut on a switch flips it; other variables have nothing to do.
        if (control.var == nullptr || control.readOnly)
            break;
        if (control.type == kTweakBool8)
            *static_cast<unsigned char*>(control.var) = !*static_cast<unsigned char*>(control.var);
        else if (control.type == kTweakBool32)
            *static_cast<std::int32_t*>(control.var) = !*static_cast<std::int32_t*>(control.var);
        lastRefresh.reset();
        break;
    case TweakControl::Kind::Enum:
        if (control.var != nullptr && !control.readOnly && !control.enumLabels.empty()) {
            auto* value = static_cast<std::int32_t*>(control.var);
            *value = (*value + 1) % static_cast<std::int32_t>(control.enumLabels.size());
            lastRefresh.reset();
        }
        break;
    }
}

bool TweakBar::HandleShortcut(const sf::Event::KeyEvent& key) {
    if (!visible)
        return false;
    for (TweakControl& control : controls)
        if (control.shortcut && control.shortcut->Matches(key)) {
            Fire(control);
            return true;
        }
    return false;
}

void TweakBar::DrawControl(TweakControl& control, std::vector<PressedButton>& pressed) {
    // A control may be named "" by a script; "##" keeps ImGui from taking an empty
    // label for the window's own identity, and shows nothing more.
    const std::string text = (control.label.empty() ? control.name : control.label) + "##";
    const char* label = text.c_str();
    bool edited = false;
    if (control.readOnly && control.kind != TweakControl::Kind::Button)
        ImGui::BeginDisabled();
    switch (control.kind) {
    case TweakControl::Kind::Button:
        if (ImGui::Button(label))
            pressed.push_back({control.callback, control.clientData});
        break;
    case TweakControl::Kind::Enum: {
        const std::int32_t index = Read<std::int32_t>(control);
        const bool known =
            index >= 0 && index < static_cast<std::int32_t>(control.enumLabels.size());
        const std::string current = known ? control.enumLabels[index] : std::to_string(index);
        if (ImGui::BeginCombo(label, current.c_str())) {
            for (std::size_t i = 0; i < control.enumLabels.size(); ++i) {
                ImGui::PushID(static_cast<int>(i));
                if (ImGui::Selectable((control.enumLabels[i] + "##").c_str(),
                                      static_cast<int>(i) == index)) {
                    Store<std::int32_t>(control, static_cast<std::int32_t>(i));
                    edited = true;
                }
                ImGui::PopID();
            }
            ImGui::EndCombo();
        }
        break;
    }
    case TweakControl::Kind::Var: {
        const float speed = control.step > 0.0 ? static_cast<float>(control.step) : 0.0f;
        switch (control.type) {
        case kTweakBool8: {
            bool value = control.shown[0] != 0;
            if ((edited = ImGui::Checkbox(label, &value)))
                control.shown[0] = value ? 1 : 0;
            break;
        }
        case kTweakBool32: {
            bool value = Read<std::int32_t>(control) != 0;
            if ((edited = ImGui::Checkbox(label, &value)))
                Store<std::int32_t>(control, value ? 1 : 0);
            break;
        }
        case kTweakInt32:
            edited =
                DragNumber<int>(label, ImGuiDataType_S32, control, speed > 0.0f ? speed : 1.0f);
            break;
        case kTweakUint32:
            edited = DragNumber<unsigned>(label, ImGuiDataType_U32, control,
                                          speed > 0.0f ? speed : 1.0f);
            break;
        case kTweakFloat:
            edited = DragNumber<float>(label, ImGuiDataType_Float, control,
                                       speed > 0.0f ? speed : 0.01f, "%.3f");
            break;
        case kTweakColor3f:
            edited = ImGui::ColorEdit3(label, reinterpret_cast<float*>(control.shown.data()));
            break;
        case kTweakColor4f:
            edited = ImGui::ColorEdit4(label, reinterpret_cast<float*>(control.shown.data()));
            break;
        case kTweakStdString:
            edited = ImGui::InputText(label, &control.shownString);
            break;
        case kTweakGraph:
            if (control.var != nullptr)
                DrawGraph(*static_cast<const TweakGraph*>(control.var), label);
            break;
        default:
            break;
        }
        break;
    }
    }
    if (control.readOnly && control.kind != TweakControl::Kind::Button)
        ImGui::EndDisabled();
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    control.drawnRect = sf::FloatRect(min.x, min.y, max.x - min.x, max.y - min.y);
    if (!control.help.empty() && ImGui::IsItemHovered())
        ImGui::SetTooltip("%s", control.help.c_str());
    if (edited)
        WriteBack(control);
}

void TweakBar::DrawGraph(const TweakGraph& graph, const char* label) {
    static const ImU32 kColors[] = {
        IM_COL32(230, 80, 80, 255),   IM_COL32(240, 170, 60, 255),  IM_COL32(230, 230, 80, 255),
        IM_COL32(90, 220, 90, 255),   IM_COL32(80, 210, 230, 255),  IM_COL32(110, 130, 250, 255),
        IM_COL32(200, 110, 240, 255), IM_COL32(240, 240, 240, 255),
    };
    const std::size_t series = graph.GetSeriesNames().size();
    const float top = std::max(graph.GetPeakTotal(), 1e-3f) * 1.1f;
    const ImVec2 size(ImGui::GetContentRegionAvail().x, 100.0f);
    // One group, so that the control's rectangle is the whole graph with its legend.
    ImGui::BeginGroup();
    const ImVec2 at = ImGui::GetCursorPos();
    // The lines share one frame: each plot after the first leaves the background
    // alone. The top line, the total, is drawn last so it stays on top.
    for (std::size_t k = 0; k < series; ++k) {
        const std::vector<float> line = graph.GetStacked(k);
        ImGui::SetCursorPos(at);
        ImGui::PushStyleColor(ImGuiCol_PlotLines, kColors[k % IM_ARRAYSIZE(kColors)]);
        ImGui::PushStyleColor(ImGuiCol_FrameBg,
                              k == 0 ? ImGui::GetColorU32(ImGuiCol_FrameBg) : IM_COL32(0, 0, 0, 0));
        ImGui::PushID(static_cast<int>(k));
        char overlay[48] = "";
        if (k + 1 == series)
            std::snprintf(overlay, sizeof overlay, "%.2f ms a frame", graph.GetAverageTotal());
        ImGui::PlotLines("##line", line.data(), static_cast<int>(line.size()), 0,
                         overlay[0] ? overlay : nullptr, 0.0f, top, size);
        ImGui::PopID();
        ImGui::PopStyleColor(2);
    }
    if (series == 0)
        ImGui::Dummy(size);
    // The legend names the bands, with the same averages as the overlay.
    for (std::size_t k = 0; k < series; ++k)
        ImGui::TextColored(ImGui::ColorConvertU32ToFloat4(kColors[k % IM_ARRAYSIZE(kColors)]),
                           "%s %.2f", graph.GetSeriesNames()[k].c_str(), graph.GetAverage(k));
    ImGui::TextUnformatted(label, std::strstr(label, "##"));
    ImGui::EndGroup();
}

float TweakBar::FieldWidth() const {
    // Fields give way to the longest name, so that it is not cut, down to a
    // quarter of the panel.
    float widest = 0.0f;
    for (const TweakControl& control : controls)
        if (control.kind != TweakControl::Kind::Button && control.type != kTweakGraph)
            widest = std::max(
                widest,
                ImGui::CalcTextSize((control.label.empty() ? control.name : control.label).c_str(),
                                    nullptr, true)
                    .x);
    const float window = ImGui::GetWindowWidth();
    const float fit =
        ImGui::GetContentRegionAvail().x - widest - ImGui::GetStyle().ItemInnerSpacing.x;
    return std::max(std::min(window * 0.45f, fit), window * 0.25f);
}

void TweakBar::Draw() {
    drawnRect.reset();
    if (!visible)
        return;
    RefreshShownValues();
    if (geometryChanged) {
        ImGui::SetNextWindowPos(
            ImVec2(static_cast<float>(position.x), static_cast<float>(position.y)));
        ImGui::SetNextWindowSize(ImVec2(static_cast<float>(size.x), static_cast<float>(size.y)));
        geometryChanged = false;
    }
    if (iconifiedChanged) {
        ImGui::SetNextWindowCollapsed(iconified);
        iconifiedChanged = false;
    }
    // The part after ### is the window's identity, so a new label keeps its place.
    const std::string title = (label.empty() ? name : label) + "###" + name;
    std::vector<PressedButton> pressed;
    if (ImGui::Begin(title.c_str(), nullptr, ImGuiWindowFlags_NoSavedSettings)) {
        if (!help.empty() && ImGui::IsWindowHovered())
            ImGui::SetTooltip("%s", help.c_str());
        ImGui::PushItemWidth(FieldWidth());
        // By position, so that two controls of one name stay two controls.
        for (std::size_t i = 0; i < controls.size(); ++i) {
            ImGui::PushID(static_cast<int>(i));
            DrawControl(controls[i], pressed);
            ImGui::PopID();
        }
        ImGui::PopItemWidth();
    }
    // Collapsed, the window is only its title bar, and only that takes clicks.
    const ImVec2 at = ImGui::GetWindowPos(), extent = ImGui::GetWindowSize();
    drawnRect = sf::FloatRect(at.x, at.y, extent.x, extent.y);
    ImGui::End();
    // Run after the window is finished: a callback may be script code that does anything.
    // Copies, not the controls: a callback may change this bar.
    for (const PressedButton& button : pressed)
        if (button.callback != nullptr)
            button.callback(button.clientData);
}
