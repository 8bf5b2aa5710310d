#include "navigation/WaypointManager.h"

#include <cmath>
#include <optional>
#include <string>

#include "navigation/WaypointArrayHandle.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"

namespace {

// The array of `handle`, or a script error naming the function and why.
const std::vector<glm::vec3>* ArrayOf(const char* function, const WaypointArrayHandle* handle) {
    std::string why;
    if (const std::vector<glm::vec3>* waypoints = WaypointManager::Instance().Find(*handle, &why))
        return waypoints;
    ScriptHost::Instance().ReportError(
        "Error in WaypointManager.%s: WaypointArrayHandle %d cannot be used: %s.", function,
        handle->index, why.c_str());
    return nullptr;
}

WaypointManager* Instance() {
    return &WaypointManager::Instance();
}

std::uint32_t Size(WaypointArrayHandle* handle) {
    const std::vector<glm::vec3>* waypoints = ArrayOf("Size", handle);
    return waypoints ? static_cast<std::uint32_t>(waypoints->size()) : 0;
}

glm::vec3 GetWaypoint(WaypointArrayHandle* handle, double index) {
    const std::vector<glm::vec3>* waypoints = ArrayOf("GetWaypoint", handle);
    if (!waypoints)
        return glm::vec3(0.0f);
    if (!(index >= 0.0 && index < static_cast<double>(waypoints->size())) ||
        std::floor(index) != index) {
        ScriptHost::Instance().ReportError(
            "Error in WaypointManager.GetWaypoint: index %g is not a waypoint of "
            "WaypointArrayHandle %d, which has %zu.",
            index, handle->index, waypoints->size());
        return glm::vec3(0.0f);
    }
    return (*waypoints)[static_cast<std::size_t>(index)];
}

// Null stands for the empty handle, which frees nothing.
void Delete(std::optional<WaypointArrayHandle*> handle) {
    if (handle && *handle)
        WaypointManager::Instance().Delete(**handle);
}

// The same as Delete, under its own native so that errors name it.
void DeleteWaypointArray(std::optional<WaypointArrayHandle*> handle) {
    Delete(handle);
}

constexpr const char* kDeleteNote =
    "frees the handle's array for the next ComputePath; null, or a handle already freed, "
    "does nothing";

using S = script::ScriptClass<WaypointManager>;
const S waypointManagerClass(
    "WaypointManager",
    {
        S::Function<&Instance>("Instance"),
        S::Function<&Size>("Size").Args("handle"),
        S::Function<&GetWaypoint>("GetWaypoint").Args("handle, index"),
        S::Function<&Delete>("Delete").Args("handle").Noted(kDeleteNote),
        S::Function<&DeleteWaypointArray>("DeleteWaypointArray").Args("handle").Noted(kDeleteNote),
    });

script::ClassOptions<WaypointArrayHandle> HandleOptions() {
    script::ClassOptions<WaypointArrayHandle> options;
    options.release = [](WaypointArrayHandle* handle) { delete handle; };
    return options;
}

// Only ever made by ComputePath; the script object is a token with no
// members, passed back to WaypointManager.
using H = script::ScriptClass<WaypointArrayHandle>;
const H waypointArrayHandleClass("WaypointArrayHandle", {}, HandleOptions());

} // namespace
