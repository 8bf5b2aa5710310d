#pragma once

// What every component binding shares. Script-layer header: only component
// binding files include it.

#include <cstdint>

#include "objects/ComponentFactory.h"
#include "objects/GameObject.h"
#include "script/ScriptClass.h"

// Component wrappers hold their object's id, not a pointer: every access
// finds the slot again in the store, so a wrapper kept across a clear or
// ClearAllObjects_FreeMemory reports an error instead of reaching released
// memory.
template <class T> script::ClassOptions<T> ComponentScriptOptions() {
    script::ClassOptions<T> options;
    options.lookup = [](std::uint32_t id) -> T* { return ComponentFactory<T>::Instance().At(id); };
    options.indexName = "object id";
    options.goneText = "the component stores were cleared or released since it was made";
    return options;
}

// The script value of the T component of `obj`, for results and callback
// arguments.
template <class T> script::IndexedRef<T> ComponentRef(const GameObject& obj) {
    return {obj.id};
}
