#pragma once

#include "objects/Component.h"

// A waypoint grid with walls and interest points that answers path searches.
class PathfindingComponent : public Component {};
