#include "picking/MouseCallbackComponent.h"

#include "messaging/Message.h"
#include "objects/ObjectManager.h"

void MouseCallbackComponent::ResetMouseState(float delay) {
    for (ScriptCallback* slot : {&onClickReleaseFunction, &onClickFunction, &onReleaseFunction,
                                 &buttonHeldFunction, &mouseOverFunction, &mouseOverTriggerFunction,
                                 &mouseNotOverFunction, &initFunction, &destructFunction})
        slot->Reset();
    pressedOn = buttonDown = wasOver = isOver = triggered = false;
    hoverTime = 0.0f;
    triggerDelay = delay;
}

void MouseCallbackComponent::MovedTo(bool over) {
    wasOver = isOver;
    isOver = over;
}

bool MouseCallbackComponent::CallAndSurvive(const ScriptCallback& slot, const ScriptArg& at,
                                            SlotLookup lookup) {
    if (!slot.IsFunction())
        return true;
    const GameObject self = owner;
    const std::uint64_t era = ObjectManager::ClearCount();
    slot.Call({self, at});
    if (ObjectManager::ClearCount() != era)
        return false;
    // Only a slot the store still holds is read; a cleared store holds none.
    const Component* now = lookup(self.id);
    return now == this && now->IsAttached() && now->owner.generation == self.generation;
}

void MouseCallbackComponent::ButtonChanged(std::uint32_t state, bool on, const ScriptArg& at,
                                           SlotLookup lookup) {
    if (state == KS_PRESSED) {
        buttonDown = true;
        if (on) {
            pressedOn = true;
            CallAndSurvive(onClickFunction, at, lookup);
        }
    } else if (state == KS_RELEASED) {
        buttonDown = false;
        // Cleared before the calls: whatever they do, this press is over.
        const bool wasPressedOn = pressedOn;
        pressedOn = false;
        if (on) {
            if (wasPressedOn && !CallAndSurvive(onClickReleaseFunction, at, lookup))
                return;
            CallAndSurvive(onReleaseFunction, at, lookup);
        }
    }
}

void MouseCallbackComponent::UpdateHover(float dt, bool heldOn, const ScriptArg& at,
                                         SlotLookup lookup) {
    if (isOver) {
        hoverTime += dt;
        if (!(hoverTime < triggerDelay) && !triggered) {
            triggered = true;
            if (!CallAndSurvive(mouseOverTriggerFunction, at, lookup))
                return;
        }
        if (!CallAndSurvive(mouseOverFunction, at, lookup))
            return;
    } else {
        triggered = false;
        hoverTime = 0.0f;
        if (!CallAndSurvive(mouseNotOverFunction, at, lookup))
            return;
    }
    if (buttonDown && heldOn)
        CallAndSurvive(buttonHeldFunction, at, lookup);
}

void MouseCallbackComponent::CallInit() {
    const GameObject self = owner;
    initFunction.Call({self});
}

void MouseCallbackComponent::CallDestruct() {
    const GameObject self = owner;
    const ScriptCallback destruct = destructFunction;
    ResetMouseState(triggerDelay);
    destruct.Call({self});
}
