#include "audio/SoundSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's SoundSystem_ property asks for a new wrapper on every read.
JSObject* SoundSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<SoundSystem>;
const S soundSystemClass("SoundSystem", {});
} // namespace
