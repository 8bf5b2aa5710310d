#include "tools/AntBarSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's AntBarSystem_ property asks for a new wrapper on every read.
JSObject* AntBarSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<AntBarSystem>;
const S antBarSystemClass(
    "AntBarSystem",
    {
        S::Method<&AntBarSystem::AddButton>("AddButton").Args("bar, buttonName, callback"),
        S::Method<&AntBarSystem::AddNumberVar>("AddNumberVar")
            .Args("bar, name, value, definition")
            .Noted("(bar, name, value, definition): a number field, shown from the next frame"),
        S::Method<&AntBarSystem::AddIntegerVar>("AddIntegerVar")
            .Args("bar, name, value, definition")
            .Noted("(bar, name, value, definition): a whole-number field"),
        S::Method<&AntBarSystem::AddBoolVar>("AddBoolVar")
            .Args("bar, name, value, definition")
            .Noted("(bar, name, value, definition): a check box"),
        S::Method<&AntBarSystem::AddColorVar>("AddColorVar")
            .Args("bar, name, color, definition")
            .Noted("(bar, name, [r, g, b] or [r, g, b, a], definition): a colour picker"),
        S::Method<&AntBarSystem::AddStringVar>("AddStringVar")
            .Args("bar, name, value, definition")
            .Noted("(bar, name, value, definition): a text field"),
        S::Method<&AntBarSystem::AddEnumVar>("AddEnumVar")
            .Args("bar, name, labels, index, definition")
            .Noted("(bar, name, 'label,label,...', index, definition): a picker, read as the "
                   "index of the chosen label"),
        S::Method<&AntBarSystem::GetVar>("GetVar")
            .Args("bar, name")
            .TypedAs("<T extends number | boolean | string | number[] = any>(arg1: string, arg2: "
                     "string) => T")
            .Noted("(bar, name): the value of a script field, edits on the panel included"),
        S::Method<&AntBarSystem::SetVar>("SetVar")
            .Args("bar, name, value")
            .Noted("(bar, name, value): the panel shows it at its next refresh"),
    });
} // namespace
