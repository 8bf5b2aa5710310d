#pragma once

#include <cstdint>

// Names one waypoint array of the WaypointManager. The generation is that of
// the slot when the array was stored, so a handle kept after its array was
// freed cannot reach (or free) the next array stored in the same slot.
struct WaypointArrayHandle {
    static constexpr std::int32_t kNone = -1;

    std::int32_t index = kNone;
    std::uint32_t generation = 0;
};
