#include "logic/MessageDistributorComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<MessageDistributorComponent>;
const S messageDistributorComponentClass(
    "MessageDistributorComponent",
    {
        S::Property<&MessageDistributorComponent::processMessageFunction>("processMessageFunction"),
        S::Property<&MessageDistributorComponent::active>("active"),
        S::Method<&MessageDistributorComponent::SetActive>("SetActive"),
        S::Method<&MessageDistributorComponent::SetInactive>("SetInactive"),
        S::Method<&MessageDistributorComponent::ToggleActive>("ToggleActive"),
    },
    ComponentScriptOptions<MessageDistributorComponent>());
} // namespace
