#pragma once

// What every component binding shares. Script-layer header: only component
// binding files include it.

#include <cstdint>
#include <vector>

#include "objects/ComponentFactory.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"

// Component wrappers hold the handle of the object they were made for and the
// world's clear count, not a pointer: every access finds the slot again and
// checks that this object still owns it. Slots are reused by new objects (a
// freed id, or every id after a clear), so a wrapper kept past its object's
// destruction would otherwise drive whichever object came next, and one kept
// across ClearAllObjects_FreeMemory would reach released memory.
template <class T> script::ClassOptions<T> ComponentScriptOptions() {
    script::ClassOptions<T> options;
    options.lookup = [](const script::IndexedRef<T>& ref) -> T* {
        const std::vector<std::uint32_t>& generations = ObjectManager::Generations();
        if (ref.era != ObjectManager::ClearCount() || ref.index >= generations.size() ||
            generations[ref.index] != ref.generation)
            return nullptr;
        return ComponentFactory<T>::Instance().At(ref.index);
    };
    options.indexName = "object";
    options.goneText = "the object was destroyed, or all objects were cleared, since this "
                       "wrapper was made";
    return options;
}

// The script value of the T component of `obj`, for results and callback
// arguments. It stays usable while `obj` is valid: a wrapper asked for
// through a stale handle is gone from the start, as that object is.
template <class T> script::IndexedRef<T> ComponentRef(const GameObject& obj) {
    script::IndexedRef<T> ref;
    ref.index = obj.id;
    ref.generation = obj.generation;
    ref.era = ObjectManager::ClearCount();
    return ref;
}
