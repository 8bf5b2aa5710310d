#include "logic/ScriptUpdateComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ScriptUpdateComponent>;
const S scriptUpdateComponentClass("ScriptUpdateComponent", {},
                                   ComponentScriptOptions<ScriptUpdateComponent>());
} // namespace
