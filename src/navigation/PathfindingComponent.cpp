#include "navigation/PathfindingComponent.h"

#include <algorithm>
#include <cmath>

#include "graphics/TransformComponent.h"
#include "navigation/WaypointManager.h"
#include "objects/ObjectManager.h"
#include "script/ScriptHost.h"

namespace {

// Neighbours of a covered cell, in the order interest nodes are recorded.
constexpr glm::ivec2 kInterestNeighbours[] = {{-1, 1}, {0, 1},   {1, 1},  {-1, 0},
                                              {1, 0},  {-1, -1}, {0, -1}, {1, -1}};

bool IsIndex(double i, std::size_t count) {
    return i >= 0.0 && i < static_cast<double>(count) && std::floor(i) == i;
}

} // namespace

void PathfindingComponent::Initialize() {
    if (!grid.Initialize(gridWidth, gridHeight))
        ScriptHost::Instance().ReportError(
            "Error, the PathfindingComponent of object %u asks for a %u x %u grid; at most %llu "
            "cells are allowed, so the grid is left empty.",
            owner.id, gridWidth, gridHeight, static_cast<unsigned long long>(PathGrid::kMaxCells));
}

void PathfindingComponent::OnAdd() {
    gridWidth = 0;
    gridHeight = 0;
    gridUnitLength = 0.0f;
    interestObjects.clear();
    grid = PathGrid();
}

void PathfindingComponent::OnRemove() {
    interestObjects.clear();
    grid = PathGrid();
}

glm::vec3 PathfindingComponent::Origin() const {
    return ObjectManager::HasComponent<TransformComponent>(owner)
               ? ObjectManager::GetComponent<TransformComponent>(owner)->position
               : glm::vec3(0.0f);
}

bool PathfindingComponent::CheckCell(const char* function, std::int32_t x, std::int32_t y) const {
    if (grid.Contains(x, y))
        return true;
    ScriptHost::Instance().ReportError(
        "Error in PathfindingComponent.%s: cell (%d, %d) is outside the %u x %u grid of object "
        "%u.",
        function, x, y, grid.Width(), grid.Height(), owner.id);
    return false;
}

const PathfindingComponent::InterestEntry* PathfindingComponent::CheckEntry(const char* function,
                                                                            double i) const {
    if (IsIndex(i, interestObjects.size()))
        return &interestObjects[static_cast<std::size_t>(i)];
    ScriptHost::Instance().ReportError(
        "Error in PathfindingComponent.%s: index %g is not an interest entry; object %u has %zu.",
        function, i, owner.id, interestObjects.size());
    return nullptr;
}

void PathfindingComponent::SetWall(std::int32_t x, std::int32_t y, bool isWall) {
    if (CheckCell("SetWall", x, y))
        grid.SetWall(x, y, isWall);
}

void PathfindingComponent::ClearWalls() {
    grid.ClearWalls();
}

bool PathfindingComponent::IsWall(std::int32_t x, std::int32_t y) {
    return CheckCell("IsWall", x, y) && grid.IsWall(x, y);
}

WaypointArrayHandle PathfindingComponent::ComputePath(std::int32_t startX, std::int32_t startY,
                                                      std::int32_t goalX, std::int32_t goalY) {
    if (!CheckCell("ComputePath", startX, startY) || !CheckCell("ComputePath", goalX, goalY))
        return {};
    const std::vector<glm::ivec2>& cells = grid.FindPath({startX, startY}, {goalX, goalY});
    std::vector<glm::vec3> waypoints;
    waypoints.reserve(cells.size());
    for (const glm::ivec2& cell : cells)
        waypoints.push_back(GetNodePosition(cell.x, cell.y));
    return WaypointManager::Instance().Store(waypoints);
}

glm::vec3 PathfindingComponent::GetNodePosition(std::int32_t x, std::int32_t y) const {
    const glm::vec3 origin = Origin();
    const float u = gridUnitLength;
    return {static_cast<float>(x) * u + u / 2 + origin.x, origin.y,
            static_cast<float>(y) * u + u / 2 + origin.z};
}

glm::ivec2 PathfindingComponent::GetNodeFromPosition(const glm::vec3& p) const {
    const float u = gridUnitLength;
    if (!(u > 0.0f) || grid.Width() == 0 || grid.Height() == 0)
        return {0, 0};
    const glm::vec3 origin = Origin();
    const auto inside = [&](std::int32_t x, std::int32_t y) {
        const glm::vec3 c = GetNodePosition(x, y);
        return std::abs(c.x - p.x) < u / 2 && std::abs(c.z - p.z) < u / 2;
    };
    // The cell the position falls in, give or take rounding; of those that
    // pass, the first in row order wins, as a scan of every cell would find.
    const double fx = std::floor((static_cast<double>(p.x) - origin.x) / u);
    const double fy = std::floor((static_cast<double>(p.z) - origin.z) / u);
    if (!(fx > -2.0 && fy > -2.0 && fx < grid.Width() + 1.0 && fy < grid.Height() + 1.0))
        return {0, 0};
    const auto cx = static_cast<std::int32_t>(fx), cy = static_cast<std::int32_t>(fy);
    for (std::int32_t y = cy - 1; y <= cy + 1; ++y)
        for (std::int32_t x = cx - 1; x <= cx + 1; ++x)
            if (grid.Contains(x, y) && inside(x, y))
                return {x, y};
    return {0, 0};
}

std::optional<glm::ivec2> PathfindingComponent::GetCellFromPosition(const glm::vec3& p) const {
    const float u = gridUnitLength;
    if (!(u > 0.0f) || grid.Width() == 0 || grid.Height() == 0)
        return std::nullopt;
    const glm::vec3 origin = Origin();
    // The borders are where GetNodePosition puts them, in floats; the division
    // only finds the neighbourhood, which the borders themselves then settle.
    const auto axis = [u](float at, float start, std::uint32_t cells) -> std::optional<int> {
        const double guess = std::floor((static_cast<double>(at) - start) / u);
        if (!(guess >= -1.0 && guess <= cells + 1.0))
            return std::nullopt;
        const auto border = [&](int i) { return static_cast<float>(i) * u + start; };
        int i = static_cast<int>(guess);
        if (border(i + 1) <= at)
            ++i;
        else if (border(i) > at)
            --i;
        const int last = static_cast<int>(cells) - 1;
        if (i == last + 1 && border(i) == at)
            i = last;
        if (i < 0 || i > last)
            return std::nullopt;
        return i;
    };
    const std::optional<int> x = axis(p.x, origin.x, grid.Width());
    const std::optional<int> y = axis(p.z, origin.z, grid.Height());
    if (!x || !y)
        return std::nullopt;
    return glm::ivec2(*x, *y);
}

std::uint32_t PathfindingComponent::GetNumInterestObjects() const {
    return static_cast<std::uint32_t>(interestObjects.size());
}

GameObject PathfindingComponent::GetInterestObjectAtIndex(double i) const {
    const InterestEntry* entry = CheckEntry("GetInterestObjectAtIndex", i);
    return entry ? entry->object : GameObject();
}

std::uint32_t PathfindingComponent::GetNumInterestNodesAtIndex(double i) const {
    const InterestEntry* entry = CheckEntry("GetNumInterestNodesAtIndex", i);
    return entry ? static_cast<std::uint32_t>(entry->nodes.size()) : 0;
}

glm::ivec2 PathfindingComponent::GetInterestNode(double i, double j) const {
    const InterestEntry* entry = CheckEntry("GetInterestNode", i);
    if (!entry)
        return {0, 0};
    if (!IsIndex(j, entry->nodes.size())) {
        ScriptHost::Instance().ReportError(
            "Error in PathfindingComponent.GetInterestNode: index %g is not a node of interest "
            "entry %g, which has %zu.",
            j, i, entry->nodes.size());
        return {0, 0};
    }
    return entry->nodes[static_cast<std::size_t>(j)];
}

void PathfindingComponent::StampObstacle(const GameObject& obstacle, glm::vec2 centre,
                                         glm::vec2 halfExtents, float threshold, bool interest) {
    const glm::vec3 origin = Origin();
    const float h = gridUnitLength / 2;
    const float shared = std::min(4 * h * h, 4 * halfExtents.x * halfExtents.y);
    std::vector<glm::ivec2> covered;
    for (std::uint32_t y = 0; y < grid.Height(); ++y) {
        for (std::uint32_t x = 0; x < grid.Width(); ++x) {
            const float cx = static_cast<float>(x) * gridUnitLength + h + origin.x;
            const float cz = static_cast<float>(y) * gridUnitLength + h + origin.z;
            const float overlapX = (halfExtents.x + h) - std::abs(cx - centre.x);
            const float overlapZ = (halfExtents.y + h) - std::abs(cz - centre.y);
            const float coverage =
                overlapX > 0 && overlapZ > 0 ? overlapX * overlapZ / shared : 0.0f;
            if (coverage >= threshold) {
                const glm::ivec2 cell(static_cast<int>(x), static_cast<int>(y));
                grid.SetWall(cell.x, cell.y, true);
                covered.push_back(cell);
            }
        }
    }
    if (!interest)
        return;
    InterestEntry entry{obstacle, {}};
    for (const glm::ivec2& cell : covered)
        for (const glm::ivec2& step : kInterestNeighbours) {
            const glm::ivec2 next = cell + step;
            if (grid.Contains(next.x, next.y) && !grid.IsWall(next.x, next.y))
                entry.nodes.push_back(next);
        }
    interestObjects.push_back(std::move(entry));
}

void PathfindingComponent::DrawDebug() {
    const glm::vec3 t = Origin();
    const float u = gridUnitLength;
    const auto line = [&](float x0, float z0, float x1, float z1, const btVector3& colour) {
        drawer.drawLine(btVector3(x0, t.y, z0), btVector3(x1, t.y, z1), colour);
    };
    const btVector3 white(1, 1, 1), green(0, 1, 0), magenta(1, 0, 1), yellow(1, 1, 0),
        blue(0, 0, 1), red(1, 0, 0);
    drawer.lineWidth = 1.0f;

    // The grid that exists, whatever the size fields were set to since: a
    // size of 4294967295 would otherwise never end the loops.
    const std::uint32_t width = grid.Width(), height = grid.Height();
    const float right = t.x + static_cast<float>(width) * u;
    const float far = t.z + static_cast<float>(height) * u;
    for (std::uint32_t i = 0; i <= height; ++i)
        line(right, t.z + static_cast<float>(i) * u, t.x, t.z + static_cast<float>(i) * u, white);
    for (std::uint32_t j = 0; j <= width; ++j)
        line(t.x + static_cast<float>(j) * u, far, t.x + static_cast<float>(j) * u, t.z, white);

    const auto corner = [&](int x, int y) {
        return glm::vec2(t.x + static_cast<float>(x) * u, t.z + static_cast<float>(y) * u);
    };
    for (const InterestEntry& entry : interestObjects)
        for (const glm::ivec2& node : entry.nodes) {
            const glm::vec2 c = corner(node.x, node.y);
            line(c.x, c.y, c.x + u, c.y + u, green);
            line(c.x + u, c.y, c.x, c.y + u, green);
            line(c.x + u / 2, c.y, c.x + u / 2, c.y + u, green);
            line(c.x + u, c.y + u / 2, c.x, c.y + u / 2, green);
        }

    for (std::uint32_t x = 0; x < width; ++x)
        for (std::uint32_t y = 0; y < height; ++y) {
            const PathNode& node = grid.Node(static_cast<int>(x), static_cast<int>(y));
            const glm::vec2 c = corner(static_cast<int>(x), static_cast<int>(y));
            if (node.Has(PathNode::kWall)) {
                line(c.x + u / 2, c.y, c.x, c.y + u / 2, magenta);
                line(c.x, c.y + u / 2, c.x + u / 2, c.y + u, magenta);
                line(c.x + u / 2, c.y + u, c.x + u, c.y + u / 2, magenta);
                line(c.x + u, c.y + u / 2, c.x + u / 2, c.y, magenta);
            }
            if (node.Has(PathNode::kClosed)) {
                drawer.lineWidth = 3.0f;
                line(c.x, c.y, c.x + u, c.y, yellow);
                line(c.x + u, c.y, c.x + u, c.y + u, yellow);
                line(c.x + u, c.y + u, c.x, c.y + u, yellow);
                line(c.x, c.y + u, c.x, c.y, yellow);
                drawer.lineWidth = 1.0f;
            }
            if (node.Has(PathNode::kOpen)) {
                const float q = u / 4, mx = c.x + u / 2, mz = c.y + u / 2;
                drawer.lineWidth = 3.0f;
                line(mx - q, mz - q, mx + q, mz - q, blue);
                line(mx + q, mz - q, mx + q, mz + q, blue);
                line(mx + q, mz + q, mx - q, mz + q, blue);
                line(mx - q, mz + q, mx - q, mz - q, blue);
                drawer.lineWidth = 1.0f;
            }
        }

    const std::vector<glm::ivec2>& path = grid.LastPath();
    for (std::size_t i = 0; i + 1 < path.size(); ++i) {
        const glm::vec3 a = GetNodePosition(path[i].x, path[i].y);
        const glm::vec3 b = GetNodePosition(path[i + 1].x, path[i + 1].y);
        line(a.x, a.z, b.x, b.z, red);
    }
}
