#include "graphics/DrawTextComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<DrawTextComponent>;
const S drawTextComponentClass("DrawTextComponent", {},
                               ComponentScriptOptions<DrawTextComponent>());
} // namespace
