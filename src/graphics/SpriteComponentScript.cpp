#include "graphics/SpriteComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<SpriteComponent>;
const S spriteComponentClass("SpriteComponent", {}, ComponentScriptOptions<SpriteComponent>());
} // namespace
