#pragma once

#include <cstdint>

#include "objects/Component.h"
#include "script/ScriptCallback.h"

// What click boxes and clickables share: nine script callbacks and the rules
// that turn presses, releases and hovering into calls of them. The two differ
// only in what "the mouse is on the object" means and in the position they
// hand to the callbacks, so both are parameters of the operations below.
//
// Any callback may remove this component, destroy its object or clear the
// world, which can destroy this very slot. Every call is therefore followed
// by a check that the slot is still this object's attached component; when
// it is not, the operation stops without touching anything.
class MouseCallbackComponent : public Component {
  public:
    // Finds the slot of object `id` in the derived type's store (nullptr
    // when there is none), so the survival check never reads a slot that
    // may be gone.
    using SlotLookup = Component* (*)(std::uint32_t id);

    void SetActive() { active = true; }
    void SetInactive() { active = false; }
    void ToggleActive() { active = !active; }

    bool IsPressedOn() const { return pressedOn; }
    bool IsButtonDown() const { return buttonDown; }
    bool IsOver() const { return isOver; }
    bool WasOver() const { return wasOver; }
    bool IsTriggered() const { return triggered; }
    float GetHoverTime() const { return hoverTime; }
    float GetTriggerDelay() const { return triggerDelay; }

    // A new component reacts, to the left button (0).
    bool active = true;
    std::uint32_t button = 0;
    ScriptCallback onClickReleaseFunction;
    ScriptCallback onClickFunction;
    ScriptCallback onReleaseFunction;
    ScriptCallback buttonHeldFunction;
    ScriptCallback mouseOverFunction;
    ScriptCallback mouseOverTriggerFunction;
    ScriptCallback mouseNotOverFunction;
    ScriptCallback initFunction;
    ScriptCallback destructFunction;

  protected:
    // The attach hook's reset: callbacks null, no press or hover under way.
    void ResetMouseState(float delay);
    void MovedTo(bool over);
    // A button message whose index is `button`; any state other than
    // pressed or released changes nothing.
    void ButtonChanged(std::uint32_t state, bool on, const ScriptArg& at, SlotLookup lookup);
    // The per-frame hover rules; `heldOn` says whether the mouse is on the
    // object for the held callback.
    void UpdateHover(float dt, bool heldOn, const ScriptArg& at, SlotLookup lookup);
    void CallInit();
    // Clears every callback first, so a destructFunction that removes its
    // own component again finds nothing to call instead of recursing.
    void CallDestruct();

  private:
    // Calls `slot` with (owner, at); false when this component did not
    // survive the call.
    bool CallAndSurvive(const ScriptCallback& slot, const ScriptArg& at, SlotLookup lookup);

    bool pressedOn = false;
    bool buttonDown = false;
    bool wasOver = false;
    bool isOver = false;
    bool triggered = false;
    float hoverTime = 0.0f;
    float triggerDelay = 0.0f;
};
