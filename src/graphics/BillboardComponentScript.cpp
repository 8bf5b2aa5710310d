#include "graphics/BillboardComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<BillboardComponent>;
const S billboardComponentClass("BillboardComponent", {},
                                ComponentScriptOptions<BillboardComponent>());
} // namespace
