#pragma once

#include "objects/Component.h"

// Marks the grid nodes its object covers as walls for path searches.
class ObstacleComponent : public Component {
  public:
    // Called by the game logic once per frame.
    virtual void Update() {}
};
