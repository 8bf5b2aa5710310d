#include "navigation/ObstacleComponent.h"

#include "objects/ComponentScript.h"

namespace {

constexpr const char* kStampNote =
    "read when the obstacle stamps its walls, on the first game-logic frame after it is added";

using S = script::ScriptClass<ObstacleComponent>;
const S obstacleComponentClass(
    "ObstacleComponent",
    {
        S::Property<&ObstacleComponent::halfExtents>("halfExtents").Noted(kStampNote),
        S::Property<&ObstacleComponent::useModelExtents>("useModelExtents")
            .Noted("false after each add: take the half extents from the VoxelModelComponent"),
        S::Property<&ObstacleComponent::wallThreshold>("wallThreshold").Noted(kStampNote),
        S::Property<&ObstacleComponent::isInterestObject>("isInterestObject").Noted(kStampNote),
    },
    ComponentScriptOptions<ObstacleComponent>());

} // namespace
