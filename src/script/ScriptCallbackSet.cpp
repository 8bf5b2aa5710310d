#include "script/ScriptCallbackSet.h"

#include <js/MapAndSet.h>
#include <jsapi.h>

#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

namespace {

// The Map and the function as script values; false when either is missing.
bool Unwrap(JSContext* cx, const ScriptCallback& index, const ScriptCallback& function,
            JS::MutableHandleObject map, JS::MutableHandleValue key) {
    JS::RootedValue value(cx);
    if (!script::Convert<ScriptCallback>::ToScript(cx, index, &value) || !value.isObject() ||
        !script::Convert<ScriptCallback>::ToScript(cx, function, key))
        return false;
    map.set(&value.toObject());
    return true;
}

} // namespace

bool ScriptCallbackSet::MakeIndex() {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!cx)
        return false;
    JS::RootedValue value(cx);
    // A new context (the engine restarted) has none of the old functions.
    if (!script::Convert<ScriptCallback>::ToScript(cx, index, &value) || !value.isObject()) {
        functions.clear();
        JS::RootedObject map(cx, JS::NewMapObject(cx));
        value.setObjectOrNull(map);
        if (!map || !script::Convert<ScriptCallback>::FromScript(cx, value, index))
            return false;
    }
    return true;
}

bool ScriptCallbackSet::Add(const ScriptCallback& function) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!cx || !MakeIndex())
        return false;
    JS::RootedObject object(cx);
    JS::RootedValue key(cx);
    bool known = false;
    if (!Unwrap(cx, index, function, &object, &key) || !JS::MapHas(cx, object, key, &known) ||
        known)
        return false;
    const std::uint64_t entry = nextEntry++;
    JS::RootedValue number(cx, JS::NumberValue(static_cast<double>(entry)));
    if (!JS::MapSet(cx, object, key, number))
        return false;
    functions.emplace(entry, function);
    return true;
}

bool ScriptCallbackSet::Remove(const ScriptCallback& function) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!cx || functions.empty())
        return false;
    JS::RootedObject object(cx);
    JS::RootedValue key(cx);
    JS::RootedValue entry(cx);
    bool removed = false;
    if (!Unwrap(cx, index, function, &object, &key) || !JS::MapGet(cx, object, key, &entry) ||
        !entry.isNumber() || !JS::MapDelete(cx, object, key, &removed))
        return false;
    functions.erase(static_cast<std::uint64_t>(entry.toNumber()));
    return removed;
}

void ScriptCallbackSet::Clear() {
    functions.clear();
    index.Reset();
}

std::vector<std::uint64_t> ScriptCallbackSet::GetEntries() const {
    std::vector<std::uint64_t> entries;
    entries.reserve(functions.size());
    for (const auto& [entry, function] : functions)
        entries.push_back(entry);
    return entries;
}

const ScriptCallback* ScriptCallbackSet::Get(std::uint64_t entry) const {
    const auto found = functions.find(entry);
    return found == functions.end() ? nullptr : &found->second;
}
