#pragma once

#include <type_traits>
#include <typeinfo>

class JSObject;

namespace script {
JSObject* NewWrapper(const std::type_info& type, void* object);
}

// A new script object of T's script class around `object`, for engine code
// that hands itself to scripts (a system's GetJSInstance). Null when T has
// no script class or the script engine is not running. The caller passes
// the result straight to the script engine, which roots it.
template <class T> JSObject* NewScriptWrapper(T* object) {
    using Bare = std::remove_const_t<T>;
    return script::NewWrapper(typeid(Bare), const_cast<Bare*>(object));
}
