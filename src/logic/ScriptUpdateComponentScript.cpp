#include "logic/ScriptUpdateComponent.h"

#include <utility>

#include "objects/ComponentScript.h"

namespace {
ScriptData& GetData(ScriptUpdateComponent& component) {
    component.data.Ensure();
    return component.data;
}
void SetData(ScriptUpdateComponent& component, ScriptData data) {
    component.data = std::move(data);
}

using S = script::ScriptClass<ScriptUpdateComponent>;
const S scriptUpdateComponentClass(
    "ScriptUpdateComponent",
    {
        S::Property<&ScriptUpdateComponent::updateFunction>("updateFunction"),
        S::Property<&ScriptUpdateComponent::initFunction>("initFunction"),
        S::Property<&ScriptUpdateComponent::destructFunction>("destructFunction"),
        S::Property<&ScriptUpdateComponent::active>("active"),
        S::Property<&GetData, &SetData>("data").Noted(
            "the script's own state for this object: an empty object made on first read, "
            "or any object set; null lets it go. A new one with every add. The inspector "
            "shows and edits its numbers, booleans, strings and 3-number arrays"),
        S::Method<&ScriptUpdateComponent::SetActive>("SetActive"),
        S::Method<&ScriptUpdateComponent::SetInactive>("SetInactive"),
        S::Method<&ScriptUpdateComponent::ToggleActive>("ToggleActive"),
    },
    ComponentScriptOptions<ScriptUpdateComponent>());
} // namespace
