#pragma once

#include <cstdint>

// In which frames the script heap is collected: the first frame, then every
// garbageCollectEveryXFrames-th. Scripts allocate a new array or wrapper for
// every engine value they read, and this keeps that garbage bounded.
class GarbageCollectionSchedule {
  public:
    // Advances one frame; true when this frame collects. An interval of 0
    // would divide by zero: it means every frame, like 1.
    bool Advance() {
        const bool collect = frameCounter == 0;
        const uint32_t interval = garbageCollectEveryXFrames == 0 ? 1 : garbageCollectEveryXFrames;
        frameCounter = (frameCounter + 1) % interval;
        return collect;
    }

    uint32_t garbageCollectEveryXFrames = 50;
    uint32_t frameCounter = 0;
};
