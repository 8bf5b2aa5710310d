#pragma once

// The script members click boxes and clickables share. Script-layer header:
// only their binding files include it.

#include <vector>

#include "picking/MouseCallbackComponent.h"
#include "script/ScriptClass.h"

// `own` first, then `active`, `button`, the nine callbacks and the
// SetActive/SetInactive/ToggleActive functions.
template <class T>
std::vector<script::Member> MouseCallbackMembers(std::vector<script::Member> own = {}) {
    using S = script::ScriptClass<T>;
    std::vector<script::Member> members = std::move(own);
    const std::vector<script::Member> shared = {
        S::template Property<&T::active>("active"),
        S::template Property<&T::button>("button"),
        S::template Property<&T::onClickReleaseFunction>("onClickReleaseFunction"),
        S::template Property<&T::onClickFunction>("onClickFunction"),
        S::template Property<&T::onReleaseFunction>("onReleaseFunction"),
        S::template Property<&T::buttonHeldFunction>("buttonHeldFunction"),
        S::template Property<&T::mouseOverFunction>("mouseOverFunction"),
        S::template Property<&T::mouseOverTriggerFunction>("mouseOverTriggerFunction"),
        S::template Property<&T::mouseNotOverFunction>("mouseNotOverFunction"),
        S::template Property<&T::initFunction>("initFunction"),
        S::template Property<&T::destructFunction>("destructFunction"),
        S::template Method<&T::SetActive>("SetActive"),
        S::template Method<&T::SetInactive>("SetInactive"),
        S::template Method<&T::ToggleActive>("ToggleActive"),
    };
    members.insert(members.end(), shared.begin(), shared.end());
    return members;
}
