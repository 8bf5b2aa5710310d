#pragma once

#include <functional>

#include "objects/Component.h"

// Calls an engine-side function for its object once per frame; engine states
// use it to give their objects behaviour without a component type of their own.
class FrameUpdateComponent : public Component {
  public:
    using Callback = std::function<void(float dt, const GameObject& owner)>;

    void OnAdd() override { updateCallback = nullptr; }

    // The callback may remove this component or clear the world; it is called
    // from a copy so that it outlives its own slot.
    void Update(float dt) {
        if (!updateCallback)
            return;
        const Callback call = updateCallback;
        const GameObject self = owner;
        call(dt, self);
    }

    Callback updateCallback;
};
