#include "graphics/TransformComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<TransformComponent>;
const S transformComponentClass("TransformComponent", {},
                                ComponentScriptOptions<TransformComponent>());
} // namespace
