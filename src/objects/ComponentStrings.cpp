#include "objects/ComponentStrings.h"

#include <algorithm>
#include <array>

namespace {
constexpr std::array<std::string_view, 16> kNames = {
    "ExampleComponent",      "TransformComponent",
    "VoxelModelComponent",   "VoxelComponent",
    "SpriteComponent",       "BodyComponent",
    "FrameUpdateComponent",  "CameraComponent",
    "ScriptUpdateComponent", "MessageDistributorComponent",
    "DrawTextComponent",     "ClickBoxComponent",
    "ClickableComponent",    "PathfindingComponent",
    "ObstacleComponent",     "GeneralDataComponent"};
} // namespace

std::string_view ComponentStrings::At(std::size_t index) {
    return index < kNames.size() ? kNames[index] : std::string_view();
}

std::size_t ComponentStrings::Size() {
    return kNames.size();
}

bool ComponentStrings::Find(std::string_view name) {
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}
