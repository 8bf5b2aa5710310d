#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <glm/vec2.hpp>

#include "navigation/PathNode.h"

// A rectangle of square cells, row-major (index = y * width + x), searched
// with A* in eight directions. Knows nothing of world space: callers turn
// cells into positions.
class PathGrid {
  public:
    // Grids above this many cells are refused: a script typo in a size would
    // otherwise ask for gigabytes.
    static constexpr std::uint64_t kMaxCells = 1u << 24;

    // Fresh cells, no walls, no search. False (and an empty grid) when the
    // size is above kMaxCells.
    bool Initialize(std::uint32_t width, std::uint32_t height);

    std::uint32_t Width() const { return width; }
    std::uint32_t Height() const { return height; }
    bool Contains(int x, int y) const {
        return x >= 0 && y >= 0 && static_cast<std::uint32_t>(x) < width &&
               static_cast<std::uint32_t>(y) < height;
    }
    // Cells must be inside the grid (Contains).
    PathNode& Node(int x, int y) { return nodes[Index(x, y)]; }
    const PathNode& Node(int x, int y) const { return nodes[Index(x, y)]; }
    const std::vector<PathNode>& Nodes() const { return nodes; }

    void SetWall(int x, int y, bool wall);
    bool IsWall(int x, int y) const { return Node(x, y).Has(PathNode::kWall); }
    void ClearWalls();

    // True when no cell of the rectangle spanned by a and b (both included)
    // is a wall. Both must be inside the grid.
    bool IsRectangleFree(glm::ivec2 a, glm::ivec2 b) const;

    // The cells from start to goal, both inside the grid: the two ends when
    // the rectangle between them is free, else the straightened result of
    // the search; empty when the goal cannot be reached. Kept as LastPath().
    const std::vector<glm::ivec2>& FindPath(glm::ivec2 start, glm::ivec2 goal);
    const std::vector<glm::ivec2>& LastPath() const { return path; }

  private:
    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x);
    }
    bool Search(glm::ivec2 start, glm::ivec2 goal);
    void Straighten();
    void UpdateWallSums() const;

    std::vector<PathNode> nodes;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<glm::ivec2> path;
    // (f, node index); a min-heap on f through std::push_heap/pop_heap.
    std::vector<std::pair<float, std::uint32_t>> open;
    const PathNode* goalNode = nullptr;
    // Nodes the last search marked or scored: the next one resets only these,
    // not the whole grid, which on a large grid costs more than a short search.
    std::vector<std::uint32_t> touched;

    // Walls counted over every rectangle from the origin, (width + 1) by
    // (height + 1), so a free-rectangle test costs four lookups however
    // large the rectangle; rebuilt lazily after walls change.
    mutable std::vector<std::uint32_t> wallSums;
    mutable bool wallSumsStale = true;
};
