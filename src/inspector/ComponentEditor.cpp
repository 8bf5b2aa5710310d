#include "inspector/ComponentEditor.h"

#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include <imgui.h>

#include "inspector/FieldEditor.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "script/FieldAccess.h"
#include "script/ScriptData.h"

namespace {

template <class T, class = void> struct HasScriptData : std::false_type {};
template <class T>
struct HasScriptData<T, std::void_t<decltype(std::declval<T&>().data)>>
    : std::is_same<decltype(std::declval<T&>().data), ScriptData> {};

// Script-side state is shown as it stands: reading it runs no script code, so
// a getter with side effects never fires just because the panel is open.
void DrawScriptData(ScriptData& data) {
    if (data.IsNull() || !ImGui::TreeNodeEx("data", ImGuiTreeNodeFlags_DefaultOpen))
        return;
    const auto values = data.ReadPlainValues();
    if (values.empty())
        ImGui::TextDisabled("(no numbers, booleans, texts or 3-number arrays)");
    for (const auto& [key, stored] : values) {
        script::FieldValue value = stored;
        if (EditFieldValue(key.c_str(), value, false, script::IsColourName(key)))
            data.WritePlainValue(key, value);
    }
    ImGui::TreePop();
}

// Each edit goes through the binding's own setter, which may run script
// code (a callback, a message) that deletes the object: stop at once then.
template <class T> void DrawFields(const GameObject& obj) {
    static const std::vector<script::EditableField> fields = script::EditableFieldsOf(typeid(T));
    for (const auto& field : fields) {
        T* component = ObjectManager::GetComponent<T>(obj);
        if (component == nullptr || !ObjectManager::IsValid(obj) || !component->IsAttached())
            return;
        if (field.access.get == nullptr)
            continue;
        script::FieldValue value = field.access.get(component);
        if (std::holds_alternative<std::monostate>(value))
            continue;
        const bool readOnly = field.access.set == nullptr;
        ImGui::BeginDisabled(readOnly);
        const bool changed = EditFieldValue(field.name.c_str(), value, field.access.integral,
                                            script::IsColourName(field.name));
        ImGui::EndDisabled();
        if (changed && !readOnly)
            field.access.set(component, value);
    }
    if constexpr (HasScriptData<T>::value) {
        T* component = ObjectManager::GetComponent<T>(obj);
        if (component != nullptr && ObjectManager::IsValid(obj) && component->IsAttached())
            DrawScriptData(component->data);
    }
}

} // namespace

void DrawComponentSections(const GameObject& obj) {
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
            RemoveComponentNamed(obj, name);
        } else if (open) {
            DrawFields<T>(obj);
        }
        ImGui::PopID();
    });
}

void DrawAddComponent(const GameObject& obj) {
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
        AddComponentNamed(obj, choice);
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
