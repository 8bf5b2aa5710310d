#include "navigation/WaypointManager.h"

WaypointManager& WaypointManager::Instance() {
    static WaypointManager manager;
    return manager;
}

WaypointArrayHandle WaypointManager::Store(const std::vector<glm::vec3>& waypoints) {
    std::int32_t index;
    if (!freeSlots.empty()) {
        index = freeSlots.back();
        freeSlots.pop_back();
    } else {
        index = static_cast<std::int32_t>(slots.size());
        slots.emplace_back();
    }
    Slot& slot = slots[static_cast<std::size_t>(index)];
    slot.waypoints = waypoints;
    slot.live = true;
    return {index, slot.generation};
}

const std::vector<glm::vec3>* WaypointManager::Find(const WaypointArrayHandle& handle,
                                                    std::string* why) const {
    const char* reason = nullptr;
    if (handle.index == WaypointArrayHandle::kNone)
        reason = "it is the empty handle -1";
    else if (handle.index < 0 || static_cast<std::size_t>(handle.index) >= slots.size())
        reason = "it was never issued";
    else if (!slots[static_cast<std::size_t>(handle.index)].live ||
             slots[static_cast<std::size_t>(handle.index)].generation != handle.generation)
        reason = "its array was deleted";
    if (!reason)
        return &slots[static_cast<std::size_t>(handle.index)].waypoints;
    if (why)
        *why = reason;
    return nullptr;
}

void WaypointManager::Delete(const WaypointArrayHandle& handle) {
    if (!Find(handle))
        return;
    Slot& slot = slots[static_cast<std::size_t>(handle.index)];
    slot.live = false;
    ++slot.generation;
    slot.waypoints.clear();
    slot.waypoints.shrink_to_fit();
    freeSlots.push_back(handle.index);
}
