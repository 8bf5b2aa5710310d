#pragma once

#include "core/System.h"
#include "script/GarbageCollectionSchedule.h"

// Collects the script heap in full on a fixed frame interval (the first
// frame, then every garbageCollectEveryXFrames-th), which scripts may change;
// each collection is spread over the frames that follow it in short slices.
class JSGarbageCollectorSystem : public Core::System, public GarbageCollectionSchedule {
  public:
    void Update(float dt) override;
    JSObject* GetJSInstance() override;
};
