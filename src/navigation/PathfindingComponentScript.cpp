#include "navigation/PathfindingComponent.h"

#include "navigation/WaypointArrayHandle.h"
#include "objects/ComponentScript.h"

namespace {

// The handle belongs to the script object until it is collected; the array
// stays with the WaypointManager until freed.
script::Owned<WaypointArrayHandle> ComputePath(PathfindingComponent& component, std::int32_t startX,
                                               std::int32_t startY, std::int32_t goalX,
                                               std::int32_t goalY) {
    const WaypointArrayHandle handle = component.ComputePath(startX, startY, goalX, goalY);
    if (handle.index == WaypointArrayHandle::kNone)
        return {}; // refused with a script error; nothing to wrap
    return {new WaypointArrayHandle(handle)};
}

constexpr const char* kSizeNote =
    "read when the object is initialized: the grid keeps the size it was built with until the "
    "next initialization";
constexpr const char* kCellNote = "a cell outside the grid is an error";
constexpr const char* kComputeNote =
    "waypoints at the cell centres from start to goal: [start, goal] when the rectangle between "
    "them has no wall, else the straightened A* path; an empty array when the goal cannot be "
    "reached; a cell outside the grid is an error";
constexpr const char* kFromPositionNote =
    "the cell whose centre is within half a cell along x and z; [0, 0] when none is, which "
    "cell (0, 0) also gives: GetCellFromPosition tells them apart";
constexpr const char* kCellFromPositionNote =
    "the cell [x, y] the position lies in along x and z; on a border the cell with the higher "
    "index, the far edges in the last cell; null off the grid";
constexpr const char* kIndexNote = "an index past the entries is an error";

using S = script::ScriptClass<PathfindingComponent>;
const S pathfindingComponentClass(
    "PathfindingComponent",
    {
        S::Property<&PathfindingComponent::gridWidth>("gridWidth").Noted(kSizeNote),
        S::Property<&PathfindingComponent::gridHeight>("gridHeight").Noted(kSizeNote),
        S::Property<&PathfindingComponent::gridUnitLength>("gridUnitLength"),
        S::Method<&PathfindingComponent::SetWall>("SetWall").Args("x, y, isWall").Noted(kCellNote),
        S::Method<&PathfindingComponent::ClearWalls>("ClearWalls"),
        S::Method<&PathfindingComponent::IsWall>("IsWall").Args("x, y").Noted(kCellNote),
        S::Method<&ComputePath>("ComputePath")
            .Args("startX, startY, goalX, goalY")
            .Noted(kComputeNote),
        S::Method<&PathfindingComponent::GetNodePosition>("GetNodePosition").Args("x, y"),
        S::Method<&PathfindingComponent::GetNodeFromPosition>("GetNodeFromPosition")
            .Args("position")
            .Noted(kFromPositionNote),
        S::Method<&PathfindingComponent::GetCellFromPosition>("GetCellFromPosition")
            .Args("position")
            .Noted(kCellFromPositionNote),
        S::Method<&PathfindingComponent::GetNumInterestObjects>("GetNumInterestObjects"),
        S::Method<&PathfindingComponent::GetInterestObjectAtIndex>("GetInterestObjectAtIndex")
            .Args("index")
            .Noted(kIndexNote),
        S::Method<&PathfindingComponent::GetNumInterestNodesAtIndex>("GetNumInterestNodesAtIndex")
            .Args("index")
            .Noted(kIndexNote),
        S::Method<&PathfindingComponent::GetInterestNode>("GetInterestNode")
            .Args("objectIndex, nodeIndex")
            .Noted(kIndexNote),
    },
    ComponentScriptOptions<PathfindingComponent>());

} // namespace
