#include "picking/ClickBoxComponent.h"

#include "objects/ComponentScript.h"
#include "picking/MouseCallbackScript.h"

namespace {
using S = script::ScriptClass<ClickBoxComponent>;
const S clickBoxComponentClass(
    "ClickBoxComponent",
    MouseCallbackMembers<ClickBoxComponent>({
        S::Property<&ClickBoxComponent::extents>("extents"),
        S::Property<&ClickBoxComponent::clickableWhileInactive>("clickableWhileInactive"),
    }),
    ComponentScriptOptions<ClickBoxComponent>());
} // namespace
