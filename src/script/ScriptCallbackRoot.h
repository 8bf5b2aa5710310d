#pragma once

// The inside of a ScriptCallback, shared by the callback itself and the
// conversions. Script-layer header.

#include <jsapi.h>

#include "script/ScriptCallback.h"

// A persistent root: the stored value survives every collection until the
// callback releases it, and the engine resets it if the context goes first.
struct ScriptCallback::Root {
    Root(JSContext* cx, const JS::Value& value) : value(cx, value) {}
    JS::PersistentRooted<JS::Value> value;
};
