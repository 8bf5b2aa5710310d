#pragma once

#include "objects/Component.h"

// A screen rectangle that calls script functions on clicks and hovering.
class ClickBoxComponent : public Component {
  public:
    // Called by the game logic once per frame.
    virtual void Update(float /*dt*/) {}
};
