#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "navigation/WaypointArrayHandle.h"

// The single owner of the waypoint arrays that path searches produce. Arrays
// live in slots until freed; a freed slot is the first one reused.
class WaypointManager {
  public:
    static WaypointManager& Instance();

    // Stores a copy in the most recently freed slot, or in a new one.
    WaypointArrayHandle Store(const std::vector<glm::vec3>& waypoints);

    // The array of a live handle; null for kNone, a handle never issued, or
    // one whose array was freed, with the reason in `why` when asked.
    const std::vector<glm::vec3>* Find(const WaypointArrayHandle& handle,
                                       std::string* why = nullptr) const;

    // Frees the slot. Does nothing for kNone or a handle that is no longer
    // live, so freeing twice cannot hand one slot to two later arrays.
    void Delete(const WaypointArrayHandle& handle);

    std::size_t SlotCount() const { return slots.size(); }
    std::size_t FreeCount() const { return freeSlots.size(); }

  private:
    struct Slot {
        std::vector<glm::vec3> waypoints;
        std::uint32_t generation = 0;
        bool live = false;
    };

    std::vector<Slot> slots;
    std::vector<std::int32_t> freeSlots;
};
