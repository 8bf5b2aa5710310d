#pragma once

#include <cstdint>
#include <limits>

// One cell of a waypoint grid, with the bookkeeping of the last search.
struct PathNode {
    static constexpr float kUnset = std::numeric_limits<float>::max();
    static constexpr std::uint32_t kOpen = 1u << 0;
    static constexpr std::uint32_t kClosed = 1u << 1;
    static constexpr std::uint32_t kGoal = 1u << 2;
    static constexpr std::uint32_t kWall = 1u << 3;

    // (-1, -1) marks the start of a search, (-2, -2) a node no search reached.
    std::int32_t parentX = -2;
    std::int32_t parentY = -2;
    std::int32_t x = 0;
    std::int32_t y = 0;
    float f = kUnset;
    float g = kUnset;
    std::uint32_t flags = 0;

    bool Has(std::uint32_t flag) const { return (flags & flag) != 0; }
};
