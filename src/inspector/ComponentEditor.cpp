#include "inspector/ComponentEditor.h"

#include <algorithm>
#include <map>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include <imgui.h>

#include "inspector/FieldEditor.h"
#include "inspector/InspectorHistory.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "script/FieldAccess.h"
#include "script/ScriptData.h"

namespace {

constexpr float kNarrowestField = 80.0f;
constexpr const char* kResetText = "default";

std::map<std::string, sf::FloatRect, std::less<>>& DrawnFields() {
    static std::map<std::string, sf::FloatRect, std::less<>> rects;
    return rects;
}

void RememberDrawnField(const std::string& key) {
    const ImVec2 min = ImGui::GetItemRectMin(), max = ImGui::GetItemRectMax();
    DrawnFields()[key] = sf::FloatRect(min.x, min.y, max.x - min.x, max.y - min.y);
}

// The fields take what the longest name of the section (with the hint and
// button after it) leaves, so that no name is cut where the panel has room;
// ImGui's own split would give a fixed share to each.
void PushFieldWidth(float labelColumn) {
    const float avail = ImGui::GetContentRegionAvail().x;
    ImGui::PushItemWidth(std::max(kNarrowestField, avail - labelColumn));
}

float LabelWidth(const char* name, const char* hint, bool resettable) {
    const ImGuiStyle& style = ImGui::GetStyle();
    float width = style.ItemInnerSpacing.x + ImGui::CalcTextSize(name).x;
    if (hint != nullptr)
        width += style.ItemSpacing.x + ImGui::CalcTextSize(hint).x + ImGui::CalcTextSize("()").x;
    if (resettable)
        width +=
            style.ItemSpacing.x + ImGui::CalcTextSize(kResetText).x + 2.0f * style.FramePadding.x;
    return width;
}

template <class T, class = void> struct HasScriptData : std::false_type {};
template <class T>
struct HasScriptData<T, std::void_t<decltype(std::declval<T&>().data)>>
    : std::is_same<decltype(std::declval<T&>().data), ScriptData> {};

// Script-side state is shown as it stands: reading it runs no script code, so
// a getter with side effects never fires just because the panel is open.
void DrawScriptData(const GameObject& obj, std::size_t typeIndex, ScriptData& data,
                    InspectorHistory& history) {
    if (data.IsNull() || !ImGui::TreeNodeEx("data", ImGuiTreeNodeFlags_DefaultOpen))
        return;
    const auto values = data.ReadPlainValues();
    if (values.empty())
        ImGui::TextDisabled("(no numbers, booleans, texts or 3-number arrays)");
    float labelColumn = 0.0f;
    for (const auto& entry : values)
        labelColumn = std::max(labelColumn, LabelWidth(entry.first.c_str(), nullptr, false));
    PushFieldWidth(labelColumn);
    for (const auto& [key, stored] : values) {
        script::FieldValue value = stored;
        if (EditFieldValue(key.c_str(), value, false, script::IsColourName(key)) &&
            data.WritePlainValue(key, value))
            history.RecordDataEdit(obj, typeIndex, data, key, stored, value, ImGui::IsItemActive());
    }
    ImGui::PopItemWidth();
    ImGui::TreePop();
}

// Each edit goes through the binding's own setter, which may run script
// code (a callback, a message) that deletes the object: stop at once then.
template <class T> void DrawFields(const GameObject& obj, InspectorHistory& history) {
    static const std::vector<script::EditableField> fields = script::EditableFieldsOf(typeid(T));
    float labelColumn = 0.0f;
    for (const auto& field : fields)
        labelColumn = std::max(
            labelColumn, LabelWidth(field.name.c_str(), field.hint, field.access.libraryDefault));
    PushFieldWidth(labelColumn);
    const std::string prefix = std::string(ComponentTypeName<T>()) + ".";
    for (const auto& field : fields) {
        T* component = ObjectManager::GetComponent<T>(obj);
        if (component == nullptr || !ObjectManager::IsValid(obj) || !component->IsAttached())
            break;
        if (field.access.get == nullptr)
            continue;
        script::FieldValue value = field.access.get(component);
        if (std::holds_alternative<std::monostate>(value))
            continue;
        const script::FieldValue before = value;
        const bool readOnly = field.access.set == nullptr;
        ImGui::BeginDisabled(readOnly);
        bool changed = EditFieldValue(field.name.c_str(), value, field.access.integral,
                                      script::IsColourName(field.name));
        // Still held (a number being dragged): the step grows until let go.
        bool ongoing = ImGui::IsItemActive();
        RememberDrawnField(prefix + field.name);
        if (field.note != nullptr && ImGui::IsItemHovered())
            ImGui::SetTooltip("%s", field.note);
        if (field.hint != nullptr) {
            ImGui::SameLine();
            ImGui::TextDisabled("(%s)", field.hint);
            if (field.note != nullptr && ImGui::IsItemHovered())
                ImGui::SetTooltip("%s", field.note);
        }
        // A value set by hand can go back to the library's own.
        const double* number = std::get_if<double>(&value);
        if (field.access.libraryDefault && number && *number != script::kLibraryDefault) {
            ImGui::SameLine();
            ImGui::PushID(field.name.c_str());
            if (ImGui::SmallButton(kResetText)) {
                value = script::kLibraryDefault;
                changed = true;
                ongoing = false;
            }
            ImGui::PopID();
        }
        ImGui::EndDisabled();
        if (changed && !readOnly) {
            field.access.set(component, value);
            history.RecordFieldEdit(obj, kComponentIndex<T>, field.name, before, value, ongoing);
        }
    }
    ImGui::PopItemWidth();
    if constexpr (HasScriptData<T>::value) {
        T* component = ObjectManager::GetComponent<T>(obj);
        if (component != nullptr && ObjectManager::IsValid(obj) && component->IsAttached())
            DrawScriptData(obj, kComponentIndex<T>, component->data, history);
    }
}

} // namespace

void DrawComponentSections(const GameObject& obj, InspectorHistory& history) {
    DrawnFields().clear();
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (!ObjectManager::IsValid(obj) || !ObjectManager::HasComponent<T>(obj))
            return;
        const std::string name(ComponentTypeName<T>());
        ImGui::PushID(name.c_str());
        const bool open = ImGui::CollapsingHeader(
            name.c_str(), ImGuiTreeNodeFlags_DefaultOpen | ImGuiTreeNodeFlags_AllowItemOverlap);
        ImGui::SameLine(ImGui::GetWindowContentRegionMax().x - 60.0f);
        if (ImGui::SmallButton("Remove")) {
            history.RemoveComponent(obj, kComponentIndex<T>);
        } else if (open) {
            DrawFields<T>(obj, history);
        }
        ImGui::PopID();
    });
}

void DrawAddComponent(const GameObject& obj, InspectorHistory& history) {
    if (!ObjectManager::IsValid(obj))
        return;
    // Kept by object id, so the choice resets when another object is selected.
    static std::uint32_t choiceFor = ~0u;
    static std::string choice;
    if (choiceFor != obj.id) {
        choiceFor = obj.id;
        choice.clear();
    }
    ImGui::SetNextItemWidth(220.0f);
    if (ImGui::BeginCombo("##add", choice.empty() ? "(component)" : choice.c_str())) {
        ForEachComponentType([&](auto tag) {
            using T = typename decltype(tag)::Type;
            if (ObjectManager::HasComponent<T>(obj))
                return;
            const std::string name(ComponentTypeName<T>());
            if (ImGui::Selectable(name.c_str(), name == choice))
                choice = name;
        });
        ImGui::EndCombo();
    }
    ImGui::SameLine();
    ImGui::BeginDisabled(choice.empty());
    const bool add = ImGui::Button("Add");
    ImGui::EndDisabled();
    if (add) {
        history.AddComponent(obj, ComponentTypeIndexOf(choice));
        choice.clear();
    }
}

bool AddComponentNamed(const GameObject& obj, std::string_view typeName) {
    bool added = false;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (ComponentTypeName<T>() != typeName || !ObjectManager::IsValid(obj) ||
            ObjectManager::HasComponent<T>(obj))
            return;
        if (T* slot = ObjectManager::AddComponent<T>(obj); slot != nullptr) {
            slot->Initialize();
            added = true;
        }
    });
    return added;
}

bool RemoveComponentNamed(const GameObject& obj, std::string_view typeName) {
    bool removed = false;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (ComponentTypeName<T>() != typeName || !ObjectManager::IsValid(obj) ||
            !ObjectManager::HasComponent<T>(obj))
            return;
        removed = ObjectManager::RemoveComponent<T>(obj) != nullptr;
    });
    return removed;
}

std::optional<sf::FloatRect> GetDrawnFieldRect(std::string_view typeName, std::string_view field) {
    const auto it = DrawnFields().find(std::string(typeName) + "." + std::string(field));
    if (it == DrawnFields().end())
        return std::nullopt;
    return it->second;
}
