#include "picking/ClickableComponent.h"

#include "objects/ComponentScript.h"
#include "picking/MouseCallbackScript.h"

namespace {
using S = script::ScriptClass<ClickableComponent>;
const S clickableComponentClass("ClickableComponent", MouseCallbackMembers<ClickableComponent>(),
                                ComponentScriptOptions<ClickableComponent>());
} // namespace
