#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>
#include <type_traits>

#include "objects/GameObject.h"
#include <typeinfo>

#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

namespace script {
template <class T, class Enable> struct Convert;
}

// One argument the engine passes to a script callback, made into a script
// value only when the call happens.
class ScriptArg {
  public:
    enum class Kind { Null, Boolean, Int32, Uint32, Number, String, GameObject, Wrapper, Vector };

    ScriptArg() = default;
    ScriptArg(std::nullptr_t) {}
    ScriptArg(bool value) : kind(Kind::Boolean), boolean(value) {}
    ScriptArg(int32_t value) : kind(Kind::Int32), int32(value) {}
    ScriptArg(uint32_t value) : kind(Kind::Uint32), uint32(value) {}
    ScriptArg(float value) : kind(Kind::Number), number(value) {}
    ScriptArg(double value) : kind(Kind::Number), number(value) {}
    ScriptArg(std::string value) : kind(Kind::String), string(std::move(value)) {}
    ScriptArg(const char* value) : kind(Kind::String), string(value) {}
    ScriptArg(const ::GameObject& value) : kind(Kind::GameObject), handle(value) {}
    // Vectors become arrays of their numbers, as everywhere else in scripts.
    ScriptArg(const glm::vec2& value) : kind(Kind::Vector), vector(value, 0.0f), vectorLength(2) {}
    ScriptArg(const glm::vec3& value) : kind(Kind::Vector), vector(value), vectorLength(3) {}
    // Engine objects go through Wrapper(); a pointer must never turn into a bool.
    template <class T> ScriptArg(T*) = delete;

    // A new wrapper of T's script class around `object` (null when null).
    template <class T> static ScriptArg Wrapper(T* object) {
        ScriptArg arg;
        arg.kind = Kind::Wrapper;
        arg.type = &typeid(std::remove_const_t<T>);
        arg.object = const_cast<std::remove_const_t<T>*>(object);
        return arg;
    }

    // As Wrapper(), for an object that lives only while the callback runs
    // (a message being delivered): the wrapper is emptied when the call
    // returns, so a script that keeps it gets an error instead of freed memory.
    template <class T> static ScriptArg Borrowed(T* object) {
        ScriptArg arg = Wrapper(object);
        arg.borrowed = true;
        return arg;
    }

    Kind kind = Kind::Null;
    bool boolean = false;
    int32_t int32 = 0;
    uint32_t uint32 = 0;
    double number = 0.0;
    std::string string;
    ::GameObject handle;
    glm::vec3 vector{0.0f};
    int vectorLength = 0;
    const std::type_info* type = nullptr;
    void* object = nullptr;
    bool borrowed = false;
};

// A script value the engine keeps in a field and calls later: per-frame
// functions, component callbacks, tweak-bar buttons. The value stays alive
// while it is stored (it is a garbage-collection root), whatever the script
// does with its own references.
//
// Null by default. Any value can be stored; only a function is ever called.
class ScriptCallback {
  public:
    ScriptCallback();
    ScriptCallback(const ScriptCallback& other);
    ScriptCallback(ScriptCallback&& other) noexcept;
    ScriptCallback& operator=(const ScriptCallback& other);
    ScriptCallback& operator=(ScriptCallback&& other) noexcept;
    ~ScriptCallback();

    bool IsNull() const;
    bool IsFunction() const;
    // Whether both hold the same value: the same function object, not an equal one
    // (a listener is removed with the function it was added with).
    bool IsSame(const ScriptCallback& other) const;
    void Reset();

    // Calls the stored function with the global object as `this`. The result
    // is ignored; an exception is reported and cleared. False when nothing
    // was called or the call failed.
    bool Call(std::initializer_list<ScriptArg> args = {}) const;

    // Defined by the script layer only.
    struct Root;

  private:
    template <class T, class Enable> friend struct script::Convert;
    std::unique_ptr<Root> root; // empty while null
};
