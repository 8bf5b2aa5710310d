#pragma once

#include "objects/Component.h"

// A waypoint grid with walls and interest points that answers path searches.
class PathfindingComponent : public Component {
  public:
    // Called while the debug-draw message is handled, when the game logic's
    // debugDraw is on.
    virtual void DrawDebug() {}
};
