#include "tools/AntBarSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's AntBarSystem_ property asks for a new wrapper on every read.
JSObject* AntBarSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<AntBarSystem>;
const S antBarSystemClass("AntBarSystem", {
                                              S::Method<&AntBarSystem::AddButton>("AddButton"),
                                          });
} // namespace
