#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "navigation/PathGrid.h"
#include "navigation/WaypointArrayHandle.h"
#include "objects/Component.h"
#include "objects/GameObject.h"
#include "physics/PhysicsDebugDrawer.h"

// A waypoint grid laid on the ground at the object's transform position: cell
// (x, y) spans x * u .. (x + 1) * u along world x and y * u .. (y + 1) * u
// along world z from there, u = gridUnitLength. Walls come from scripts and
// from obstacles; searches hand their waypoints to the WaypointManager.
//
// Calls that name a cell or an entry check it: outside the grid or past the
// entries they raise a script error and change nothing.
class PathfindingComponent : public Component {
  public:
    // The free cells around one obstacle marked as an object of interest.
    struct InterestEntry {
        GameObject object;
        std::vector<glm::ivec2> nodes;
    };

    // Builds the grid at gridWidth x gridHeight with no walls.
    void Initialize() override;
    // Size and unit length 0, no interest entries, and an empty grid: a grid
    // left in the slot by an object that had this id before would otherwise
    // answer searches, with its walls, until the new object is initialized.
    void OnAdd() override;
    // Frees the grid.
    void OnRemove() override;

    void SetWall(std::int32_t x, std::int32_t y, bool isWall);
    void ClearWalls();
    bool IsWall(std::int32_t x, std::int32_t y);
    // Waypoints at the cell centres from start to goal; an empty array when
    // there is no way. A cell outside the grid is a script error and stores
    // nothing (the result is the empty handle).
    WaypointArrayHandle ComputePath(std::int32_t startX, std::int32_t startY, std::int32_t goalX,
                                    std::int32_t goalY);
    // Pure arithmetic: cells outside the grid have centres too.
    glm::vec3 GetNodePosition(std::int32_t x, std::int32_t y) const;
    // The cell whose centre is strictly within u / 2 of p along x and z;
    // (0, 0) when none is, so a border point or one off the grid reads as
    // cell (0, 0). GetCellFromPosition tells them apart.
    glm::ivec2 GetNodeFromPosition(const glm::vec3& p) const;
    // The cell of the built grid that p lies in along x and z: a point on a
    // border between cells is in the one with the higher index, and the far
    // edges belong to the last column and row. Nothing off the grid.
    std::optional<glm::ivec2> GetCellFromPosition(const glm::vec3& p) const;

    std::uint32_t GetNumInterestObjects() const;
    GameObject GetInterestObjectAtIndex(double i) const;
    std::uint32_t GetNumInterestNodesAtIndex(double i) const;
    glm::ivec2 GetInterestNode(double i, double j) const;

    // Marks the cells an obstacle footprint covers by at least `threshold`
    // (the covered share of the smaller of cell and footprint); with
    // `interest`, records the free neighbours of those cells for `obstacle`.
    void StampObstacle(const GameObject& obstacle, glm::vec2 centre, glm::vec2 halfExtents,
                       float threshold, bool interest);

    // Grid lines, interest nodes, walls, the last search and the last path,
    // through this component's own line drawer.
    void DrawDebug();

    const PathGrid& Grid() const { return grid; }
    const std::vector<InterestEntry>& InterestObjects() const { return interestObjects; }

    std::uint32_t gridWidth = 0;
    std::uint32_t gridHeight = 0;
    float gridUnitLength = 0.0f;

  private:
    // The object's transform position; the origin without a transform.
    glm::vec3 Origin() const;
    bool CheckCell(const char* function, std::int32_t x, std::int32_t y) const;
    const InterestEntry* CheckEntry(const char* function, double i) const;

    std::vector<InterestEntry> interestObjects;
    PathGrid grid;
    PhysicsDebugDrawer drawer;
};
