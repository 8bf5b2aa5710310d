#include "picking/ClickBoxComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ClickBoxComponent>;
const S clickBoxComponentClass("ClickBoxComponent", {},
                               ComponentScriptOptions<ClickBoxComponent>());
} // namespace
