#include "picking/ClickBoxComponent.h"

#include "graphics/ScreenAnchor.h"
#include "objects/ComponentScript.h"
#include "picking/MouseCallbackScript.h"

namespace {
using S = script::ScriptClass<ClickBoxComponent>;
const S clickBoxComponentClass(
    "ClickBoxComponent",
    MouseCallbackMembers<ClickBoxComponent>({
        S::Property<&ClickBoxComponent::extents>("extents"),
        S::Property<&ClickBoxComponent::clickableWhileInactive>("clickableWhileInactive"),
        S::Property<&GetAnchorName<ClickBoxComponent>, &SetAnchorName<ClickBoxComponent>>("anchor")
            .Noted(kScreenAnchorNote),
    }),
    ComponentScriptOptions<ClickBoxComponent>());
} // namespace
