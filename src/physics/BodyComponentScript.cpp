#include "physics/BodyComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<BodyComponent>;
const S bodyComponentClass("BodyComponent", {}, ComponentScriptOptions<BodyComponent>());
} // namespace
