#include "script/JSGarbageCollectorSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

JSObject* JSGarbageCollectorSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<JSGarbageCollectorSystem>;
const S jsGarbageCollectorSystemClass(
    "JSGarbageCollectorSystem",
    {
        S::Property<&JSGarbageCollectorSystem::garbageCollectEveryXFrames>(
            "garbageCollectEveryXFrames"),
    });
} // namespace
