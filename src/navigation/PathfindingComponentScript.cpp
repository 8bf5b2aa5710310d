#include "navigation/PathfindingComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<PathfindingComponent>;
const S pathfindingComponentClass("PathfindingComponent", {},
                                  ComponentScriptOptions<PathfindingComponent>());
} // namespace
