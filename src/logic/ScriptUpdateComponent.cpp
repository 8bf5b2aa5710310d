#include "logic/ScriptUpdateComponent.h"

// Every callback may remove this component, destroy its object or clear the
// world, which destroys this slot. ScriptCallback::Call touches nothing of the
// callback after the script returns, and nothing here touches the slot after a
// call either; the owner handle is copied first.

void ScriptUpdateComponent::Initialize() {
    const GameObject self = owner;
    initFunction.Call({self});
}

void ScriptUpdateComponent::Update(float dt) {
    if (!active)
        return;
    const GameObject self = owner;
    updateFunction.Call({self, dt});
}

void ScriptUpdateComponent::OnRemove() {
    const GameObject self = owner;
    const ScriptCallback destruct = destructFunction;
    // Reset before the call: a destructFunction that removes its own component
    // again then finds nothing to call instead of recursing without end.
    if (destruct.IsNull() || destruct.IsFunction()) {
        updateFunction.Reset();
        initFunction.Reset();
        destructFunction.Reset();
    }
    destruct.Call({self});
}

void ScriptUpdateComponent::OnAdd() {
    active = true;
    updateFunction.Reset();
    initFunction.Reset();
    destructFunction.Reset();
    data.Reset();
}
