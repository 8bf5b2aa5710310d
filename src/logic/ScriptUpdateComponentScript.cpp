#include "logic/ScriptUpdateComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ScriptUpdateComponent>;
const S scriptUpdateComponentClass(
    "ScriptUpdateComponent",
    {
        S::Property<&ScriptUpdateComponent::updateFunction>("updateFunction"),
        S::Property<&ScriptUpdateComponent::initFunction>("initFunction"),
        S::Property<&ScriptUpdateComponent::destructFunction>("destructFunction"),
        S::Property<&ScriptUpdateComponent::active>("active"),
        S::Property<&GetScriptData<ScriptUpdateComponent>, &SetScriptData<ScriptUpdateComponent>>(
            "data")
            .Noted(kScriptDataNote),
        S::Method<&ScriptUpdateComponent::SetActive>("SetActive"),
        S::Method<&ScriptUpdateComponent::SetInactive>("SetInactive"),
        S::Method<&ScriptUpdateComponent::ToggleActive>("ToggleActive"),
    },
    ComponentScriptOptions<ScriptUpdateComponent>());
} // namespace
