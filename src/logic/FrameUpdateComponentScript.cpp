#include "logic/FrameUpdateComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<FrameUpdateComponent>;
const S frameUpdateComponentClass("FrameUpdateComponent", {},
                                  ComponentScriptOptions<FrameUpdateComponent>());
} // namespace
