#pragma once

// Every conversion between an engine value and a script value, in one place.
// Bindings never convert by hand: the binding framework picks Convert<T> for
// each field, argument and result by its C++ type.
//
// Convert<T> has three members:
//   Name()                      how scripts and the API reference name the type
//   TsName()                    the same type in the TypeScript declarations
//                               (optional: without it the type is `any`)
//   ToScript(cx, value, out)    false only with an exception pending
//   FromScript(cx, value, out)  false with an exception pending, or false
//                               without one when the value is of the wrong
//                               kind or shape (the caller names class,
//                               member and argument); `out` is then left
//                               as it was, so nothing half-converted reaches
//                               the engine
//
// Scripts get no silent coercion: a number must be a number (not a string,
// boolean, null or undefined), a vector an array of exactly its length, and
// so on. A value that merely looks right ({x: 1, y: 2, z: 3}, "5") would
// otherwise turn into NaN or 0 far from the line that wrote it.
//
// Script-layer header: only .cpp files of the script layer and of bindings
// include it.

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include <glm/glm.hpp>
#include <glm/gtc/quaternion.hpp>
#include <js/Array.h>
#include <js/Conversions.h>
#include <js/GCVector.h>
#include <js/Object.h>
#include <js/ValueArray.h>
#include <jsapi.h>

#include "objects/GameObject.h"
#include "script/ScriptCallback.h"
#include "script/ScriptData.h"

struct VoxelInstance;

namespace script {

template <class T> class ScriptClass;

// An engine object named by its index in a store whose slots are reused. The
// generation and the store's era (how often it was emptied) are those of the
// object the wrapper was made for: the class's lookup (ClassOptions::lookup)
// finds the object again at every access and answers null once that object
// is gone, even when its index has been handed to another.
template <class T> struct IndexedRef {
    uint32_t index = 0;
    uint32_t generation = 0;
    uint64_t era = 0;
};

// A new object the script owns until it hands it back (Taken<T>); if the
// script drops it first, its class releases it. Message records made by
// scripts work this way.
template <class T> struct Owned { T* object = nullptr; };

// An object a script hands over to the engine: the script's wrapper must own
// it, and is emptied once every argument of the call has converted, so the
// script cannot reach the object again (a broadcast message is freed once
// delivered). A call refused for another argument leaves it with the script.
template <class T> struct Taken {
    T* object = nullptr;
    JSObject* from = nullptr; // the wrapper to empty; rooted by the call's arguments
};

// A wrapper the engine made itself for a T, such as a system's own
// GetJSInstance(); null when there is none.
template <class T> struct WrapperOf { JSObject* object = nullptr; };

// A property that holds a T* and, written with anything but a wrapper of T's
// class, stores null instead of failing (a component's model or texture).
template <class T> struct PointerOrNull { T* object = nullptr; };

// Any value, as String(value) makes it.
struct StringOf {
    std::string text;
};

// Any value as String(value) makes it, every UTF-16 code unit kept (lone
// surrogates too): text a script stores and must get back exactly as written.
struct TextOf {
    std::u16string units;
};

// A file name from a script: a string whose every character is one byte of
// the path (1 to 255). A NUL would cut the name short where the system reads
// it, and a character above 255 would lose its high byte ("\u012e" turning
// into "."), naming another file than the script wrote: both are errors.
struct FilePath {
    std::string path;
};

// "a number", "null", "an array [1,2]", "a Core object": for error messages.
std::string DescribeValue(JSContext* cx, JS::HandleValue value);

// A wrapper of an engine class whose object is gone (see IndexedRef).
bool IsGoneWrapper(JS::HandleValue value);

// Any value to a string, as String(value) does, one byte per character.
bool Stringify(JSContext* cx, JS::HandleValue value, std::string& out);

template <class T, class Enable = void> struct Convert;

// A TypeScript name for an engine type: "message object" becomes MessageObject.
inline std::string TsIdentifier(const std::string& name) {
    std::string id;
    bool upper = true;
    for (const char c : name) {
        const bool word = std::isalnum(static_cast<unsigned char>(c)) || c == '_';
        if (word)
            id += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
        upper = !word;
    }
    return id.empty() ? std::string("any") : id;
}

template <class C, class = void> struct HasTsName : std::false_type {};
template <class C> struct HasTsName<C, std::void_t<decltype(C::TsName())>> : std::true_type {};

// How the TypeScript declarations name T; `any` for a conversion that does not say.
template <class T> std::string TsTypeName() {
    if constexpr (std::is_void_v<T>) {
        return "void";
    } else {
        using C = Convert<std::decay_t<T>>;
        if constexpr (HasTsName<C>::value)
            return C::TsName();
        else
            return "any";
    }
}

// A boolean, or a number (0 and NaN are false). Anything else is refused:
// every string and object would otherwise be true.
template <> struct Convert<bool> {
    static std::string Name() { return "boolean"; }
    static std::string TsName() { return "boolean"; }
    static bool ToScript(JSContext*, bool value, JS::MutableHandleValue out) {
        out.setBoolean(value);
        return true;
    }
    static bool FromScript(JSContext*, JS::HandleValue value, bool& out) {
        if (!value.isBoolean() && !value.isNumber())
            return false;
        out = JS::ToBoolean(value);
        return true;
    }
};

// Integers take numbers only, wrapped into range as the language's own
// integer conversions do (-1 is 4294967295 unsigned; fractions are cut).
template <> struct Convert<uint16_t> {
    static std::string Name() { return "integer"; }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext*, uint16_t value, JS::MutableHandleValue out) {
        out.setInt32(value);
        return true;
    }
    static bool FromScript(JSContext*, JS::HandleValue value, uint16_t& out) {
        if (!value.isNumber())
            return false;
        out = JS::ToUint16(value.toNumber());
        return true;
    }
};

// Values above 2147483647 become doubles, never negative integers, and read
// back to the same unsigned value.
template <> struct Convert<uint32_t> {
    static std::string Name() { return "unsigned integer"; }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext*, uint32_t value, JS::MutableHandleValue out) {
        out.set(JS::NumberValue(value));
        return true;
    }
    static bool FromScript(JSContext*, JS::HandleValue value, uint32_t& out) {
        if (value.isInt32()) {
            out = static_cast<uint32_t>(value.toInt32());
            return true;
        }
        if (!value.isNumber())
            return false;
        out = JS::ToUint32(value.toNumber());
        return true;
    }
};

template <> struct Convert<int32_t> {
    static std::string Name() { return "integer"; }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext*, int32_t value, JS::MutableHandleValue out) {
        out.setInt32(value);
        return true;
    }
    static bool FromScript(JSContext*, JS::HandleValue value, int32_t& out) {
        if (value.isInt32()) {
            out = value.toInt32();
            return true;
        }
        if (!value.isNumber())
            return false;
        out = JS::ToInt32(value.toNumber());
        return true;
    }
};

inline JS::Value NumberToScript(double value) {
    // A NaN with a payload would be read as a tagged value: canonicalise.
    return std::isnan(value) ? JS::NaNValue() : JS::NumberValue(value);
}

template <> struct Convert<double> {
    static std::string Name() { return "number"; }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext*, double value, JS::MutableHandleValue out) {
        out.set(NumberToScript(value));
        return true;
    }
    // NaN and the infinities are numbers too; members that cannot use them
    // check for themselves.
    static bool FromScript(JSContext*, JS::HandleValue value, double& out) {
        if (!value.isNumber())
            return false;
        out = value.toNumber();
        return true;
    }
};

template <> struct Convert<float> {
    static std::string Name() { return "number"; }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext*, float value, JS::MutableHandleValue out) {
        out.set(NumberToScript(value));
        return true;
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, float& out) {
        double wide;
        if (!Convert<double>::FromScript(cx, value, wide))
            return false;
        out = static_cast<float>(wide);
        return true;
    }
};

// Enumerations cross as their integer value.
template <class E> struct Convert<E, std::enable_if_t<std::is_enum_v<E>>> {
    using Int = std::conditional_t<std::is_signed_v<std::underlying_type_t<E>>, int32_t, uint32_t>;
    static std::string Name() { return Convert<Int>::Name(); }
    static std::string TsName() { return "number"; }
    static bool ToScript(JSContext* cx, E value, JS::MutableHandleValue out) {
        return Convert<Int>::ToScript(cx, static_cast<Int>(value), out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, E& out) {
        Int raw;
        if (!Convert<Int>::FromScript(cx, value, raw))
            return false;
        out = static_cast<E>(raw);
        return true;
    }
};

// One character per byte both ways; characters above 255 keep their low byte.
template <> struct Convert<std::string> {
    static std::string Name() { return "string"; }
    static std::string TsName() { return "string"; }
    static bool ToScript(JSContext* cx, const std::string& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, std::string& out);
};

// Vectors are arrays of exactly N numbers, x first.
template <glm::length_t N> struct Convert<glm::vec<N, float, glm::defaultp>> {
    using Vec = glm::vec<N, float, glm::defaultp>;
    static std::string Name() {
        return "vec" + std::to_string(N) + " [x, y" + (N > 2 ? ", z" : "") + (N > 3 ? ", w" : "") +
               "]";
    }
    // Arrays rather than tuples: scripts build vectors in loops and with map(),
    // which TypeScript types as number[]; the length is checked when called.
    static std::string TsName() { return "number[]"; }
    // Inline: reading a position is the commonest call scripts make.
    static bool ToScript(JSContext* cx, const Vec& value, JS::MutableHandleValue out) {
        JS::Value elements[N];
        for (glm::length_t i = 0; i < N; ++i)
            elements[i] = NumberToScript(value[i]);
        // Numbers need no rooting, so the local array can back the new one.
        JSObject* array =
            JS::NewArrayObject(cx, JS::HandleValueArray::fromMarkedLocation(N, elements));
        if (!array)
            return false;
        out.setObject(*array);
        return true;
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, Vec& out);
};

// A pair of signed integers: an array of 2 numbers, truncated toward zero.
template <> struct Convert<glm::ivec2> {
    static std::string Name() { return "integer pair [x, y]"; }
    static std::string TsName() { return "number[]"; }
    static bool ToScript(JSContext* cx, const glm::ivec2& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, glm::ivec2& out);
};

template <> struct Convert<std::pair<int32_t, int32_t>> {
    static std::string Name() { return Convert<glm::ivec2>::Name(); }
    static std::string TsName() { return "number[]"; }
    static bool ToScript(JSContext* cx, const std::pair<int32_t, int32_t>& value,
                         JS::MutableHandleValue out) {
        return Convert<glm::ivec2>::ToScript(cx, glm::ivec2(value.first, value.second), out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, std::pair<int32_t, int32_t>& out) {
        glm::ivec2 pair;
        if (!Convert<glm::ivec2>::FromScript(cx, value, pair))
            return false;
        out = {pair.x, pair.y};
        return true;
    }
};

// An array of 4 numbers [x, y, z, w], whatever order the quaternion type
// keeps in memory.
template <> struct Convert<glm::quat> {
    static std::string Name() { return "quaternion [x, y, z, w]"; }
    static std::string TsName() { return "number[]"; }
    static bool ToScript(JSContext* cx, const glm::quat& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, glm::quat& out);
};

// An array of exactly N columns, each an array of exactly N numbers from row
// 0 down.
template <glm::length_t N> struct Convert<glm::mat<N, N, float, glm::defaultp>> {
    using Mat = glm::mat<N, N, float, glm::defaultp>;
    static std::string Name() {
        return "mat" + std::to_string(N) + " (array of " + std::to_string(N) + " columns)";
    }
    static std::string TsName() { return "number[][]"; }
    static bool ToScript(JSContext* cx, const Mat& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, Mat& out);
};

// A stored callback is whatever value the script set, kept alive while held.
template <> struct Convert<ScriptCallback> {
    static std::string Name() { return "function or null"; }
    static std::string TsName() { return "((...args: any[]) => any) | null"; }
    static bool ToScript(JSContext* cx, const ScriptCallback& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, ScriptCallback& out);
};

// A component's own script object: any object, or null to let it go.
template <> struct Convert<ScriptData> {
    static std::string Name() { return "object or null"; }
    static std::string TsName() { return "Record<string, any>"; }
    static bool ToScript(JSContext* cx, const ScriptData& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, ScriptData& out);
};

// Arguments the engine passes to callbacks; they only ever go to script.
template <> struct Convert<ScriptArg> {
    static bool ToScript(JSContext* cx, const ScriptArg& value, JS::MutableHandleValue out);
};

// Script objects made by the engine (for example a system's own wrapper).
template <> struct Convert<JSObject*> {
    static std::string Name() { return "object or null"; }
    static std::string TsName() { return "object | null"; }
    static bool ToScript(JSContext*, JSObject* value, JS::MutableHandleValue out) {
        out.setObjectOrNull(value);
        return true;
    }
    static bool FromScript(JSContext*, JS::HandleValue value, JSObject*& out) {
        if (!value.isObjectOrNull())
            return false;
        out = value.toObjectOrNull();
        return true;
    }
};

// Engine objects cross as wrappers of their script class: a new wrapper for
// every conversion, null for a null pointer. Reading requires a live wrapper
// of exactly that class.
template <class C> struct Convert<C*, std::enable_if_t<std::is_class_v<C>>> {
    using Bare = std::remove_const_t<C>;
    static std::string Name() { return ScriptClass<Bare>::ScriptName(); }
    static std::string TsName() { return ScriptClass<Bare>::TsScriptName(); }
    static bool ToScript(JSContext* cx, C* value, JS::MutableHandleValue out) {
        return ScriptClass<Bare>::Wrap(cx, const_cast<Bare*>(value), out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, C*& out) {
        Bare* object = nullptr;
        if (!ScriptClass<Bare>::Unwrap(cx, value, object))
            return false;
        out = object;
        return true;
    }
};

template <class T> struct Convert<IndexedRef<T>> {
    static std::string Name() { return ScriptClass<T>::ScriptName(); }
    static std::string TsName() { return ScriptClass<T>::TsScriptName(); }
    static bool ToScript(JSContext* cx, const IndexedRef<T>& value, JS::MutableHandleValue out) {
        return ScriptClass<T>::WrapIndex(cx, value, out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, IndexedRef<T>& out) {
        return ScriptClass<T>::UnwrapIndex(cx, value, out);
    }
};

template <class T> struct Convert<Owned<T>> {
    static std::string Name() { return ScriptClass<T>::ScriptName(); }
    static std::string TsName() { return ScriptClass<T>::TsScriptName(); }
    static bool ToScript(JSContext* cx, const Owned<T>& value, JS::MutableHandleValue out) {
        return ScriptClass<T>::WrapOwned(cx, value.object, out);
    }
};

template <class T> struct Convert<Taken<T>> {
    static std::string Name() { return ScriptClass<T>::ScriptName(); }
    static std::string TsName() { return ScriptClass<T>::TsScriptName(); }
    static bool FromScript(JSContext* cx, JS::HandleValue value, Taken<T>& out) {
        if (!ScriptClass<T>::Unwrap(cx, value, out.object, true))
            return false;
        out.from = &value.toObject();
        return true;
    }
};

template <class T> struct Convert<WrapperOf<T>> {
    static std::string Name() { return ScriptClass<T>::ScriptName() + " or null"; }
    static std::string TsName() { return ScriptClass<T>::TsScriptName() + " | null"; }
    static bool ToScript(JSContext*, const WrapperOf<T>& value, JS::MutableHandleValue out) {
        out.setObjectOrNull(value.object);
        return true;
    }
};

template <class T> struct Convert<PointerOrNull<T>> {
    static std::string Name() { return ScriptClass<T>::ScriptName() + " (anything else: null)"; }
    static std::string TsName() { return ScriptClass<T>::TsScriptName() + " | null"; }
    static bool ToScript(JSContext* cx, const PointerOrNull<T>& value, JS::MutableHandleValue out) {
        return ScriptClass<T>::Wrap(cx, value.object, out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, PointerOrNull<T>& out) {
        T* object = nullptr;
        if (ScriptClass<T>::Unwrap(cx, value, object)) {
            out.object = object;
            return true;
        }
        out.object = nullptr;
        // A wrapper whose object is gone stays an error.
        return !JS_IsExceptionPending(cx) && !IsGoneWrapper(value);
    }
};

template <> struct Convert<FilePath> {
    static std::string Name() { return "file path (string, no NUL, no character above \\u00ff)"; }
    static std::string TsName() { return "string"; }
    static bool ToScript(JSContext* cx, const FilePath& value, JS::MutableHandleValue out) {
        return Convert<std::string>::ToScript(cx, value.path, out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, FilePath& out);
};

template <> struct Convert<StringOf> {
    static std::string Name() { return "any value"; }
    static std::string TsName() { return "any"; }
    static bool FromScript(JSContext* cx, JS::HandleValue value, StringOf& out) {
        return Stringify(cx, value, out.text);
    }
};

template <> struct Convert<TextOf> {
    // Any value converts, so the name is only what the reference shows.
    static std::string Name() { return "string"; }
    static std::string TsName() { return "string"; }
    static bool ToScript(JSContext* cx, const TextOf& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, TextOf& out);
};

// A "GameObject" object: id in reserved slot 0, generation in slot 1, each an
// integer up to 2147483647 and a double above, so every handle round-trips.
template <> struct Convert<GameObject> {
    static std::string Name() { return "GameObject"; }
    static std::string TsName() { return "GameObject"; }
    static bool ToScript(JSContext* cx, const GameObject& value, JS::MutableHandleValue out);
    static bool FromScript(JSContext* cx, JS::HandleValue value, GameObject& out);
};

// One voxel of a model, as a plain object {position: [x, y, z], color: [r, g, b, a]}; a
// model's voxel is read this way only.
template <> struct Convert<VoxelInstance> {
    static std::string Name() { return "voxel {position: vec3, color: vec4}"; }
    static bool ToScript(JSContext* cx, const VoxelInstance& value, JS::MutableHandleValue out);
};

// Null for nothing.
template <class T> struct Convert<std::optional<T>> {
    static std::string Name() { return Convert<T>::Name() + " or null"; }
    static std::string TsName() { return TsTypeName<T>() + " | null"; }
    static bool ToScript(JSContext* cx, const std::optional<T>& value, JS::MutableHandleValue out) {
        if (!value) {
            out.setNull();
            return true;
        }
        return Convert<T>::ToScript(cx, *value, out);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, std::optional<T>& out) {
        if (value.isNull()) {
            out.reset();
            return true;
        }
        T inner{};
        if (!Convert<T>::FromScript(cx, value, inner))
            return false;
        out = std::move(inner);
        return true;
    }
};

// An argument scripts may leave out at the end of a call, or pass as undefined, as
// JavaScript's default parameters read it; the function picks its default with Or().
template <class T> struct OptionalArg {
    std::optional<T> value;
    T Or(T fallback) const { return value.value_or(std::move(fallback)); }
};
template <class T> struct IsOptionalArg : std::false_type {};
template <class T> struct IsOptionalArg<OptionalArg<T>> : std::true_type {};

template <class T> struct Convert<OptionalArg<T>> {
    static std::string Name() { return Convert<T>::Name() + " (may be left out)"; }
    static std::string TsName() { return TsTypeName<T>(); }
    static bool FromScript(JSContext* cx, JS::HandleValue value, OptionalArg<T>& out) {
        if (value.isUndefined()) {
            out.value.reset();
            return true;
        }
        T inner{};
        if (!Convert<T>::FromScript(cx, value, inner))
            return false;
        out.value = std::move(inner);
        return true;
    }
};

// A new plain array of the list's elements, each made a value by
// `convert(cx, element, &item)`.
template <class List, class ConvertOne>
bool ArrayToScript(JSContext* cx, const List& list, ConvertOne&& convert,
                   JS::MutableHandleValue out) {
    JS::RootedValueVector values(cx);
    JS::RootedValue item(cx);
    for (const auto& element : list) {
        if (!convert(cx, element, &item))
            return false;
        if (!values.append(item)) {
            JS_ReportOutOfMemory(cx);
            return false;
        }
    }
    JSObject* array = JS::NewArrayObject(cx, values);
    if (!array)
        return false;
    out.setObject(*array);
    return true;
}

// A list handed to scripts as a new plain array; each element converts on its own.
template <class List>
bool ListToScript(JSContext* cx, const List& list, JS::MutableHandleValue out) {
    return ArrayToScript(
        cx, list,
        [](JSContext* c, const auto& element, JS::MutableHandleValue item) {
            return Convert<std::decay_t<decltype(element)>>::ToScript(c, element, item);
        },
        out);
}

template <class T> std::string ListTsName() {
    const std::string element = TsTypeName<T>();
    return (element.find(' ') == std::string::npos ? element : "(" + element + ")") + "[]";
}

// A fixed-length list (a pad's buttons and axes).
template <class T, std::size_t N> struct Convert<std::array<T, N>> {
    static std::string Name() { return "array of " + std::to_string(N) + " " + Convert<T>::Name(); }
    static std::string TsName() { return ListTsName<T>(); }
    static bool ToScript(JSContext* cx, const std::array<T, N>& list, JS::MutableHandleValue out) {
        return ListToScript(cx, list, out);
    }
};

// The array behind `value` and its length, or false without an exception for anything
// but an array.
bool ArrayAndLength(JSContext* cx, JS::HandleValue value, JS::MutableHandleObject array,
                    uint32_t& length);

// A list of any length (the objects a query found, the colours of a burst).
template <class T> struct Convert<std::vector<T>> {
    static std::string Name() { return "array of " + Convert<T>::Name(); }
    static std::string TsName() { return ListTsName<T>(); }
    static bool ToScript(JSContext* cx, const std::vector<T>& list, JS::MutableHandleValue out) {
        return ListToScript(cx, list, out);
    }
    // Every element must convert; `out` is written only then. Element by element, so the
    // first bad one ends the conversion before the rest is read: the first hole of
    // new Array(1e9) is refused at once.
    static bool FromScript(JSContext* cx, JS::HandleValue value, std::vector<T>& out) {
        JS::RootedObject array(cx);
        uint32_t length = 0;
        if (!ArrayAndLength(cx, value, &array, length))
            return false;
        std::vector<T> list;
        JS::RootedValue element(cx);
        for (uint32_t i = 0; i < length; ++i) {
            T item{};
            if (!JS_GetElement(cx, array, i, &element) ||
                !Convert<T>::FromScript(cx, element, item))
                return false;
            list.push_back(std::move(item));
        }
        out = std::move(list);
        return true;
    }
};

// ---- Options objects ------------------------------------------------------
//
// A plain engine struct filled from a script's options object ({count: 20, fade: true})
// by a table of its fields, declared in the binding file that takes it:
//
//   template <> struct script::OptionsOf<Burst> {
//       static constexpr const char* kName = "burst options";
//       static auto Fields() {
//           return std::make_tuple(script::Option("position", &Burst::position),
//                                  script::Option("count", &Burst::count, &CheckCount));
//       }
//   };
//
// Each field converts as its C++ type does anywhere else; the optional check takes the
// converted value and returns null or what it must be ("a number >= 0"). A field the
// object leaves out, or sets to undefined, keeps the struct's default. A key the table
// does not name is refused too: a misspelt `lifeTime` would otherwise keep the default
// without a word.

template <class S> struct OptionsOf; // specialised per struct

template <class S, class V> struct OptionField {
    const char* name;
    V S::*member;
    const char* (*check)(const V&);
};

template <class S, class V>
OptionField<S, V> Option(const char* name, V S::*member, const char* (*check)(const V&) = nullptr) {
    return {name, member, check};
}

// Why an options object was refused, for the caller's message. `option` stays empty when
// the value is not an options object at all.
struct OptionRefusal {
    explicit OptionRefusal(JSContext* cx) : got(cx) {}
    std::string option;
    std::string expected;
    bool unknown = false; // `option` is not a key of the table; `expected` lists the keys
    JS::RootedValue got;
};

// A plain object (not an array, not a function) to read options from; false without an
// exception for anything else.
bool OptionsObject(JSContext* cx, JS::HandleValue value, JS::MutableHandleObject out);

// The first own enumerable key of `object` that is not in `names`, into `refusal`; false
// only with an exception pending.
bool FindUnknownOption(JSContext* cx, JS::HandleObject object,
                       const std::vector<const char*>& names, OptionRefusal& refusal);

template <class S, class = void> struct IsOptions : std::false_type {};
template <class S>
struct IsOptions<S, std::void_t<decltype(OptionsOf<S>::Fields())>> : std::true_type {};

template <class S> struct Convert<S, std::enable_if_t<IsOptions<S>::value>> {
    static std::string Name() {
        std::string keys;
        ForEachField([&](const auto& field) {
            keys += (keys.empty() ? "" : ", ") + std::string(field.name);
        });
        return std::string(OptionsOf<S>::kName) + " {" + keys + "}";
    }
    static std::string TsName() {
        std::string members;
        ForEachField([&](const auto& field) {
            using V = std::remove_reference_t<decltype(std::declval<S&>().*(field.member))>;
            members +=
                std::string(members.empty() ? "" : "; ") + field.name + "?: " + TsTypeName<V>();
        });
        return "{ " + members + " }";
    }
    static std::vector<const char*> Keys() {
        std::vector<const char*> keys;
        ForEachField([&](const auto& field) { keys.push_back(field.name); });
        return keys;
    }
    // Without `refusal` a refused object is just false, as for any other type.
    static bool FromScript(JSContext* cx, JS::HandleValue value, S& out,
                           OptionRefusal* refusal = nullptr) {
        JS::RootedObject object(cx);
        if (!OptionsObject(cx, value, &object))
            return false;
        OptionRefusal local(cx);
        OptionRefusal& why = refusal ? *refusal : local;
        if (!FindUnknownOption(cx, object, Keys(), why) || why.unknown)
            return false;
        S result = out;
        bool ok = true;
        JS::RootedValue item(cx);
        ForEachField([&](const auto& field) {
            if (!ok)
                return;
            using V = std::remove_reference_t<decltype(result.*(field.member))>;
            if (!JS_GetProperty(cx, object, field.name, &item)) {
                ok = false;
                return;
            }
            if (item.isUndefined())
                return;
            V converted{};
            if (!Convert<V>::FromScript(cx, item, converted)) {
                if (!JS_IsExceptionPending(cx))
                    Refuse(why, field.name, Convert<V>::Name(), item);
                ok = false;
                return;
            }
            if (const char* problem = field.check ? field.check(converted) : nullptr) {
                Refuse(why, field.name, problem, item);
                ok = false;
                return;
            }
            result.*(field.member) = std::move(converted);
        });
        if (!ok)
            return false;
        out = std::move(result);
        return true;
    }

  private:
    static void Refuse(OptionRefusal& why, const char* option, const std::string& expected,
                       JS::HandleValue got) {
        why.option = option;
        why.expected = expected;
        why.got = got;
    }
    template <class Visit> static void ForEachField(Visit&& visit) {
        std::apply([&](const auto&... field) { (visit(field), ...); }, OptionsOf<S>::Fields());
    }
};

// One of several kinds of value: the first alternative that takes the script
// value wins, so narrower kinds come first (a number before a boolean, which
// would take numbers too).
template <class... T> struct Convert<std::variant<T...>> {
    using Variant = std::variant<T...>;
    static std::string Name() {
        std::string names;
        ((names += (names.empty() ? "" : " or ") + Convert<T>::Name()), ...);
        return names;
    }
    static std::string TsName() {
        const std::vector<std::string> all = {TsTypeName<T>()...};
        std::string names;
        for (auto it = all.begin(); it != all.end(); ++it)
            if (std::find(all.begin(), it, *it) == it)
                names += names.empty() ? *it : " | " + *it;
        return names;
    }
    static bool ToScript(JSContext* cx, const Variant& value, JS::MutableHandleValue out) {
        return std::visit(
            [&](const auto& inner) {
                return Convert<std::decay_t<decltype(inner)>>::ToScript(cx, inner, out);
            },
            value);
    }
    static bool FromScript(JSContext* cx, JS::HandleValue value, Variant& out) {
        bool taken = false;
        (TryAlternative<T>(cx, value, out, taken), ...);
        return taken;
    }

  private:
    template <class A>
    static void TryAlternative(JSContext* cx, JS::HandleValue value, Variant& out, bool& taken) {
        if (taken || JS_IsExceptionPending(cx))
            return;
        A inner{};
        if (Convert<A>::FromScript(cx, value, inner)) {
            out = std::move(inner);
            taken = true;
        }
    }
};

template <class T> std::string TypeName() {
    if constexpr (std::is_void_v<T>)
        return "undefined";
    else
        return Convert<std::decay_t<T>>::Name();
}

} // namespace script
