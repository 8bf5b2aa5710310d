#include "script/JSGarbageCollectorSystem.h"

void JSGarbageCollectorSystem::Update(float) {
    // A zero interval would divide by zero; it means "every frame".
    const uint32_t interval = garbageCollectEveryXFrames == 0 ? 1 : garbageCollectEveryXFrames;
    frameCounter = (frameCounter + 1) % interval;
}
