#include "navigation/PathGrid.h"

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Distances enter every f scaled by this: a hair of greed that breaks ties
// toward the goal, so the search opens fewer nodes on open ground.
constexpr float kHeuristicWeight = 1.01f;
const float kDiagonalCost = std::sqrt(2.0f);

float Distance(glm::ivec2 a, glm::ivec2 b) {
    const float dx = static_cast<float>(a.x - b.x);
    const float dy = static_cast<float>(a.y - b.y);
    return std::sqrt(dx * dx + dy * dy);
}

using HeapEntry = std::pair<float, std::uint32_t>;
// Lowest f on top; equal f goes to the lower index, so searches repeat exactly.
constexpr std::greater<HeapEntry> kHeapOrder{};

} // namespace

bool PathGrid::Initialize(std::uint32_t newWidth, std::uint32_t newHeight) {
    nodes.clear();
    path.clear();
    open.clear();
    touched.clear();
    goalNode = nullptr;
    wallSumsStale = true;
    const std::uint64_t cells = std::uint64_t{newWidth} * newHeight;
    if (cells > kMaxCells) {
        width = height = 0;
        return false;
    }
    width = newWidth;
    height = newHeight;
    nodes.resize(static_cast<std::size_t>(cells));
    for (std::uint32_t y = 0; y < height; ++y) {
        for (std::uint32_t x = 0; x < width; ++x) {
            PathNode& node = nodes[Index(static_cast<int>(x), static_cast<int>(y))];
            node.x = static_cast<std::int32_t>(x);
            node.y = static_cast<std::int32_t>(y);
        }
    }
    return true;
}

void PathGrid::SetWall(int x, int y, bool wall) {
    PathNode& node = Node(x, y);
    if (node.Has(PathNode::kWall) == wall)
        return;
    node.flags ^= PathNode::kWall;
    wallSumsStale = true;
}

void PathGrid::ClearWalls() {
    for (PathNode& node : nodes)
        node.flags &= ~PathNode::kWall;
    wallSumsStale = true;
}

void PathGrid::UpdateWallSums() const {
    const std::size_t stride = std::size_t{width} + 1;
    wallSums.assign(stride * (std::size_t{height} + 1), 0);
    for (std::uint32_t y = 0; y < height; ++y) {
        std::uint32_t row = 0;
        for (std::uint32_t x = 0; x < width; ++x) {
            row += Node(static_cast<int>(x), static_cast<int>(y)).Has(PathNode::kWall) ? 1 : 0;
            wallSums[(y + 1) * stride + x + 1] = wallSums[y * stride + x + 1] + row;
        }
    }
    wallSumsStale = false;
}

bool PathGrid::IsRectangleFree(glm::ivec2 a, glm::ivec2 b) const {
    if (wallSumsStale)
        UpdateWallSums();
    const std::size_t stride = std::size_t{width} + 1;
    const std::size_t x0 = static_cast<std::size_t>(std::min(a.x, b.x));
    const std::size_t x1 = static_cast<std::size_t>(std::max(a.x, b.x)) + 1;
    const std::size_t y0 = static_cast<std::size_t>(std::min(a.y, b.y));
    const std::size_t y1 = static_cast<std::size_t>(std::max(a.y, b.y)) + 1;
    const std::uint32_t walls = wallSums[y1 * stride + x1] - wallSums[y0 * stride + x1] -
                                wallSums[y1 * stride + x0] + wallSums[y0 * stride + x0];
    return walls == 0;
}

const std::vector<glm::ivec2>& PathGrid::FindPath(glm::ivec2 start, glm::ivec2 goal) {
    path.clear();
    if (IsRectangleFree(start, goal)) {
        path = {start, goal};
        return path;
    }
    if (!Search(start, goal))
        return path;
    // Parents lead back to the start; a chain can never be longer than the
    // grid, which also guards against a cycle.
    for (const PathNode* node = goalNode; node && path.size() <= nodes.size();) {
        path.emplace_back(node->x, node->y);
        if (node->parentX < 0)
            break;
        node = &Node(node->parentX, node->parentY);
    }
    std::reverse(path.begin(), path.end());
    Straighten();
    return path;
}

bool PathGrid::Search(glm::ivec2 start, glm::ivec2 goal) {
    open.clear();
    goalNode = nullptr;
    for (std::uint32_t index : touched) {
        PathNode& node = nodes[index];
        node.flags &= PathNode::kWall;
        node.f = node.g = PathNode::kUnset;
    }
    touched.clear();
    touched.push_back(static_cast<std::uint32_t>(Index(goal.x, goal.y)));
    touched.push_back(static_cast<std::uint32_t>(Index(start.x, start.y)));
    Node(goal.x, goal.y).flags |= PathNode::kGoal;
    PathNode& first = Node(start.x, start.y);
    first.parentX = first.parentY = -1;
    first.g = 0.0f;
    first.f = kHeuristicWeight * Distance(start, goal);
    first.flags |= PathNode::kOpen;
    open.emplace_back(first.f, static_cast<std::uint32_t>(Index(start.x, start.y)));

    while (!open.empty()) {
        std::pop_heap(open.begin(), open.end(), kHeapOrder);
        PathNode& current = nodes[open.back().second];
        open.pop_back();
        if (current.Has(PathNode::kGoal)) {
            goalNode = &current;
            return true;
        }
        current.flags = (current.flags & ~PathNode::kOpen) | PathNode::kClosed;
        for (int dx = -1; dx <= 1; ++dx) {
            for (int dy = -1; dy <= 1; ++dy) {
                if (dx == 0 && dy == 0)
                    continue;
                const int nx = current.x + dx, ny = current.y + dy;
                if (!Contains(nx, ny))
                    continue;
                PathNode& next = Node(nx, ny);
                if (next.Has(PathNode::kWall | PathNode::kClosed))
                    continue;
                const bool diagonal = dx != 0 && dy != 0;
                // A diagonal step may not cut past a wall or the grid's edge.
                // Both corner cells lie inside whenever the target does.
                if (diagonal && (IsWall(current.x + dx, current.y) || IsWall(current.x, ny)))
                    continue;
                // An open node keeps the g and parent it was first given: each
                // node enters the heap once, and the 1.01 weighting already
                // trades exactness for speed.
                if (next.Has(PathNode::kOpen))
                    continue;
                const float g = current.g + (diagonal ? kDiagonalCost : 1.0f);
                if (g > next.g)
                    continue;
                next.g = g;
                next.parentX = current.x;
                next.parentY = current.y;
                next.flags |= PathNode::kOpen;
                next.f = g + kHeuristicWeight * Distance({nx, ny}, goal);
                const auto index = static_cast<std::uint32_t>(Index(nx, ny));
                touched.push_back(index);
                open.emplace_back(next.f, index);
                std::push_heap(open.begin(), open.end(), kHeapOrder);
            }
        }
    }
    return false;
}

void PathGrid::Straighten() {
    // Removing b from (a, b, c) only changes the triples that end at c or
    // later; every triple before them failed the test and still does, so the
    // scan resumes one place back instead of at the start, with the same
    // result at a fraction of the cost on long paths.
    std::size_t i = 0;
    while (i + 2 < path.size()) {
        if (IsRectangleFree(path[i], path[i + 2])) {
            path.erase(path.begin() + static_cast<std::ptrdiff_t>(i) + 1);
            i = i >= 1 ? i - 1 : 0;
        } else {
            ++i;
        }
    }
}
