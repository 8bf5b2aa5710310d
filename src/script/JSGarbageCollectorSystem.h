#pragma once

#include <cstdint>

#include "core/System.h"

// Scripts allocate a new array or wrapper for every value they read from the
// engine; collecting on a fixed frame interval keeps that garbage bounded.
class JSGarbageCollectorSystem : public Core::System {
  public:
    void Update(float dt) override;

    uint32_t garbageCollectEveryXFrames = 50;
    uint32_t frameCounter = 0;
};
