#include "navigation/ObstacleComponent.h"

#include "objects/ComponentScript.h"

namespace {
using S = script::ScriptClass<ObstacleComponent>;
const S obstacleComponentClass("ObstacleComponent", {},
                               ComponentScriptOptions<ObstacleComponent>());
} // namespace
