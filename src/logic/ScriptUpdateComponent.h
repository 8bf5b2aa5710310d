#pragma once

#include "objects/Component.h"
#include "script/ScriptCallback.h"
#include "script/ScriptData.h"

// Calls script functions when its object is initialized, every frame while
// active, and once when the component goes away.
class ScriptUpdateComponent : public Component {
  public:
    // initFunction(owner), whatever `active` says.
    void Initialize() override;
    // destructFunction(owner). A null or function destructFunction clears all
    // three callbacks; any other value leaves them, as scripts use it to keep
    // their functions across removal.
    void OnRemove() override;
    void OnAdd() override;
    // updateFunction(owner, dt) while active.
    void Update(float dt);

    void SetActive() { active = true; }
    void SetInactive() { active = false; }
    void ToggleActive() { active = !active; }

    ScriptCallback updateFunction;
    ScriptCallback initFunction;
    ScriptCallback destructFunction;
    bool active = true;
    // The script's own state for this object; a new one with every add.
    ScriptData data;
};
