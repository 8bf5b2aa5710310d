#include "picking/ClickableComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ClickableComponent>;
const S clickableComponentClass("ClickableComponent", {},
                                ComponentScriptOptions<ClickableComponent>());
} // namespace
