#include "script/ScriptValue.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <string>

#include <mozilla/Range.h>

#include <js/Array.h>
#include <js/CallAndConstruct.h>
#include <js/PropertyAndElement.h>
#include <js/String.h>
#include <js/ValueArray.h>

#include "script/ScriptCallbackRoot.h"
#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"
#include "voxels/VoxelInstance.h"

namespace script {

namespace {

// Numbers need no rooting, so a plain local array can back the new array.
bool NumbersToArray(JSContext* cx, const float* values, size_t count, JS::MutableHandleValue out) {
    JS::Value elements[4];
    for (size_t i = 0; i < count; ++i)
        elements[i] = NumberToScript(values[i]);
    JSObject* array =
        JS::NewArrayObject(cx, JS::HandleValueArray::fromMarkedLocation(count, elements));
    if (!array)
        return false;
    out.setObject(*array);
    return true;
}

// The array behind `value` when it is one of exactly `count` elements. False
// without an exception for any other value; with one when asking ran script
// that threw (a proxy).
bool ArrayOfLength(JSContext* cx, JS::HandleValue value, uint32_t count,
                   JS::MutableHandleObject out) {
    if (!value.isObject())
        return false;
    bool isArray = false;
    if (!JS::IsArrayObject(cx, value, &isArray) || !isArray)
        return false;
    out.set(&value.toObject());
    uint32_t length = 0;
    return JS::GetArrayLength(cx, out, &length) && length == count;
}

// Exactly `count` numbers from an array of that length, or false (see
// ArrayOfLength). `out` is written only when every element is a number.
template <class Number, class Narrow>
bool ArrayToNumbers(JSContext* cx, JS::HandleValue value, Number* out, uint32_t count,
                    Narrow narrow) {
    JS::RootedObject array(cx);
    if (!ArrayOfLength(cx, value, count, &array))
        return false;
    Number values[4];
    JS::RootedValue element(cx);
    for (uint32_t i = 0; i < count; ++i) {
        if (!JS_GetElement(cx, array, i, &element) || !element.isNumber())
            return false;
        values[i] = narrow(element.toNumber());
    }
    std::copy(values, values + count, out);
    return true;
}

bool ArrayToFloats(JSContext* cx, JS::HandleValue value, float* out, uint32_t count) {
    return ArrayToNumbers(cx, value, out, count,
                          [](double number) { return static_cast<float>(number); });
}

// An element of an array as an error message shows it: numbers and strings
// as written, anything else by its kind.
std::string PreviewElement(JSContext* cx, JS::HandleValue element) {
    if (element.isNumber()) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", element.toNumber());
        return text;
    }
    if (element.isBoolean())
        return element.toBoolean() ? "true" : "false";
    if (element.isNull())
        return "null";
    if (element.isUndefined())
        return "undefined";
    if (element.isString()) {
        std::string text;
        if (!Stringify(cx, element, text))
            return "a string";
        if (text.size() > 16)
            text = text.substr(0, 16) + "...";
        for (char& c : text)
            if (static_cast<unsigned char>(c) < 0x20)
                c = '?';
        return '"' + text + '"';
    }
    bool isArray = false;
    if (element.isObject() && JS::IsArrayObject(cx, element, &isArray) && isArray)
        return "[...]";
    return element.isObject() ? "{...}" : "?";
}

// "an array [1,2]": the length and, for short arrays, the elements. Reading
// them may run script (a proxy, a getter); whatever that throws is dropped,
// the message is about the value's shape.
std::string DescribeArray(JSContext* cx, JS::HandleValue value) {
    JS::RootedObject array(cx, &value.toObject());
    uint32_t length = 0;
    if (!JS::GetArrayLength(cx, array, &length)) {
        JS_ClearPendingException(cx);
        return "an array";
    }
    constexpr uint32_t kShown = 6;
    std::string text = length > kShown ? "an array of " + std::to_string(length) + " elements ["
                                       : std::string("an array [");
    JS::RootedValue element(cx);
    for (uint32_t i = 0; i < length && i < kShown; ++i) {
        if (!JS_GetElement(cx, array, i, &element)) {
            JS_ClearPendingException(cx);
            element.setUndefined();
        }
        text += (i > 0 ? "," : "") + PreviewElement(cx, element);
    }
    return text + (length > kShown ? ",...]" : "]");
}

bool StringToBytes(JSContext* cx, JSString* string, std::string& out) {
    const size_t length = JS_GetStringLength(string);
    std::string bytes(length, '\0');
    if (length > 0 && !JS_EncodeStringToBuffer(cx, string, bytes.data(), length)) {
        if (!JS_IsExceptionPending(cx))
            JS_ReportOutOfMemory(cx);
        return false;
    }
    out = std::move(bytes);
    return true;
}

} // namespace

std::string DescribeValue(JSContext* cx, JS::HandleValue value) {
    if (value.isUndefined())
        return "undefined";
    if (value.isNull())
        return "null";
    if (value.isBoolean())
        return "a boolean";
    if (value.isNumber())
        return "a number";
    if (value.isString())
        return "a string " + PreviewElement(cx, value);
    if (value.isSymbol())
        return "a symbol";
    if (!value.isObject())
        return "a BigInt";
    JSObject* obj = &value.toObject();
    if (const ScriptClassBase* cls = ScriptClassBase::FromClasp(JS::GetClass(obj))) {
        if (JS::GetReservedSlot(obj, 0).isUndefined())
            return std::string("the ") + cls->Name() + " class object";
        if (cls->IsGone(obj))
            return std::string("a ") + cls->Name() + " object, but " + cls->GoneText(obj);
        return std::string("a ") + cls->Name() + " object";
    }
    if (JS::IsCallable(obj))
        return "a function";
    bool isArray = false;
    if (JS::IsArrayObject(cx, value, &isArray) && isArray)
        return DescribeArray(cx, value);
    JS_ClearPendingException(cx);
    return "an object";
}

bool IsGoneWrapper(JS::HandleValue value) {
    if (!value.isObject())
        return false;
    const ScriptClassBase* cls = ScriptClassBase::FromClasp(JS::GetClass(&value.toObject()));
    return cls && cls->IsGone(&value.toObject());
}

bool Stringify(JSContext* cx, JS::HandleValue value, std::string& out) {
    if (value.isString())
        return StringToBytes(cx, value.toString(), out);
    JS::RootedString string(cx, JS::ToString(cx, value));
    return string && StringToBytes(cx, string, out);
}

bool ArrayAndLength(JSContext* cx, JS::HandleValue value, JS::MutableHandleObject array,
                    uint32_t& length) {
    bool isArray = false;
    if (!value.isObject() || !JS::IsArrayObject(cx, value, &isArray) || !isArray)
        return false;
    array.set(&value.toObject());
    return JS::GetArrayLength(cx, array, &length);
}

bool OptionsObject(JSContext* cx, JS::HandleValue value, JS::MutableHandleObject out) {
    if (!value.isObject())
        return false;
    bool isArray = false;
    if (!JS::IsArrayObject(cx, value, &isArray) || isArray)
        return false;
    JS::RootedObject object(cx, &value.toObject());
    if (JS::IsCallable(object))
        return false;
    out.set(object);
    return true;
}

bool FindUnknownOption(JSContext* cx, JS::HandleObject object,
                       const std::vector<const char*>& names, OptionRefusal& refusal) {
    JS::Rooted<JS::IdVector> ids(cx, JS::IdVector(cx));
    if (!JS_Enumerate(cx, object, &ids))
        return false;
    JS::RootedValue key(cx);
    for (size_t i = 0; i < ids.length(); ++i) {
        std::string name;
        if (!JS_IdToValue(cx, ids[i], &key) || !Stringify(cx, key, name))
            return false;
        const auto known = [&](const char* option) { return name == option; };
        if (std::any_of(names.begin(), names.end(), known))
            continue;
        refusal.option = name;
        refusal.unknown = true;
        refusal.expected.clear();
        for (const char* option : names)
            refusal.expected += (refusal.expected.empty() ? "" : ", ") + std::string(option);
        return JS_GetPropertyById(cx, object, ids[i], &refusal.got);
    }
    return true;
}

bool Convert<std::string>::ToScript(JSContext* cx, const std::string& value,
                                    JS::MutableHandleValue out) {
    JSString* string = JS_NewStringCopyN(cx, value.data(), value.size());
    if (!string)
        return false;
    out.setString(string);
    return true;
}

bool Convert<std::string>::FromScript(JSContext* cx, JS::HandleValue value, std::string& out) {
    if (!value.isString())
        return false;
    return StringToBytes(cx, value.toString(), out);
}

bool Convert<TextOf>::ToScript(JSContext* cx, const TextOf& value, JS::MutableHandleValue out) {
    JSString* string = JS_NewUCStringCopyN(cx, value.units.data(), value.units.size());
    if (!string)
        return false;
    out.setString(string);
    return true;
}

// A symbol, or an object whose toString throws, fails as String() would.
bool Convert<TextOf>::FromScript(JSContext* cx, JS::HandleValue value, TextOf& out) {
    JS::RootedString string(cx, value.isString() ? value.toString() : JS::ToString(cx, value));
    if (!string)
        return false;
    std::u16string units(JS_GetStringLength(string), u'\0');
    if (!JS_CopyStringChars(cx, mozilla::Range<char16_t>(units.data(), units.size()), string))
        return false;
    out.units = std::move(units);
    return true;
}

bool Convert<FilePath>::FromScript(JSContext* cx, JS::HandleValue value, FilePath& out) {
    if (!value.isString())
        return false;
    JSString* string = value.toString();
    const size_t length = JS_GetStringLength(string);
    std::u16string chars(length, u'\0');
    if (!JS_CopyStringChars(cx, mozilla::Range<char16_t>(chars.data(), length), string))
        return false;
    std::string bytes(length, '\0');
    for (size_t i = 0; i < length; ++i) {
        if (chars[i] == 0 || chars[i] > 0xff)
            return false;
        bytes[i] = static_cast<char>(chars[i]);
    }
    out.path = std::move(bytes);
    return true;
}

template <glm::length_t N>
bool Convert<glm::vec<N, float, glm::defaultp>>::FromScript(JSContext* cx, JS::HandleValue value,
                                                            Vec& out) {
    return ArrayToFloats(cx, value, &out[0], N);
}

template struct Convert<glm::vec2>;
template struct Convert<glm::vec3>;
template struct Convert<glm::vec4>;

bool Convert<glm::ivec2>::ToScript(JSContext* cx, const glm::ivec2& value,
                                   JS::MutableHandleValue out) {
    JS::Value elements[2] = {JS::Int32Value(value.x), JS::Int32Value(value.y)};
    JSObject* array = JS::NewArrayObject(cx, JS::HandleValueArray::fromMarkedLocation(2, elements));
    if (!array)
        return false;
    out.setObject(*array);
    return true;
}

bool Convert<glm::ivec2>::FromScript(JSContext* cx, JS::HandleValue value, glm::ivec2& out) {
    return ArrayToNumbers(cx, value, &out[0], 2, [](double number) { return JS::ToInt32(number); });
}

bool Convert<glm::quat>::ToScript(JSContext* cx, const glm::quat& value,
                                  JS::MutableHandleValue out) {
    const float values[4] = {value.x, value.y, value.z, value.w};
    return NumbersToArray(cx, values, 4, out);
}

bool Convert<glm::quat>::FromScript(JSContext* cx, JS::HandleValue value, glm::quat& out) {
    float values[4];
    if (!ArrayToFloats(cx, value, values, 4))
        return false;
    // By member, not by constructor: glm's constructor takes w first.
    out.x = values[0];
    out.y = values[1];
    out.z = values[2];
    out.w = values[3];
    return true;
}

template <glm::length_t N>
bool Convert<glm::mat<N, N, float, glm::defaultp>>::ToScript(JSContext* cx, const Mat& value,
                                                             JS::MutableHandleValue out) {
    JS::RootedValueArray<N> columns(cx);
    for (glm::length_t c = 0; c < N; ++c) {
        if (!Convert<glm::vec<N, float, glm::defaultp>>::ToScript(cx, value[c], columns[c]))
            return false;
    }
    JSObject* array = JS::NewArrayObject(cx, columns);
    if (!array)
        return false;
    out.setObject(*array);
    return true;
}

template <glm::length_t N>
bool Convert<glm::mat<N, N, float, glm::defaultp>>::FromScript(JSContext* cx, JS::HandleValue value,
                                                               Mat& out) {
    JS::RootedObject array(cx);
    if (!ArrayOfLength(cx, value, N, &array))
        return false;
    Mat matrix;
    JS::RootedValue column(cx);
    for (glm::length_t c = 0; c < N; ++c) {
        if (!JS_GetElement(cx, array, static_cast<uint32_t>(c), &column) ||
            !ArrayToFloats(cx, column, &matrix[c][0], N))
            return false;
    }
    out = matrix;
    return true;
}

template struct Convert<glm::mat2>;
template struct Convert<glm::mat3>;
template struct Convert<glm::mat4>;

bool Convert<GameObject>::ToScript(JSContext* cx, const GameObject& value,
                                   JS::MutableHandleValue out) {
    const ScriptClass<GameObject>* cls = ScriptClass<GameObject>::Declared();
    JSObject* obj = cls ? cls->NewObject(cx) : nullptr;
    if (!obj) {
        out.setNull();
        return !JS_IsExceptionPending(cx);
    }
    JS::SetReservedSlot(obj, 0, JS::NumberValue(value.id));
    JS::SetReservedSlot(obj, 1, JS::NumberValue(value.generation));
    out.setObject(*obj);
    return true;
}

bool Convert<VoxelInstance>::ToScript(JSContext* cx, const VoxelInstance& value,
                                      JS::MutableHandleValue out) {
    JS::RootedObject obj(cx, JS_NewPlainObject(cx));
    JS::RootedValue position(cx), color(cx);
    if (!obj || !Convert<glm::vec3>::ToScript(cx, glm::vec3(value.position), &position) ||
        !JS_DefineProperty(cx, obj, "position", position, JSPROP_ENUMERATE) ||
        !Convert<glm::vec4>::ToScript(cx, value.color, &color) ||
        !JS_DefineProperty(cx, obj, "color", color, JSPROP_ENUMERATE))
        return false;
    out.setObject(*obj);
    return true;
}

bool Convert<GameObject>::FromScript(JSContext*, JS::HandleValue value, GameObject& out) {
    const ScriptClass<GameObject>* cls = ScriptClass<GameObject>::Declared();
    if (!cls || !value.isObject() || JS::GetClass(&value.toObject()) != cls->Clasp())
        return false;
    const JS::Value& id = JS::GetReservedSlot(&value.toObject(), 0);
    const JS::Value& generation = JS::GetReservedSlot(&value.toObject(), 1);
    if (!id.isNumber() || !generation.isNumber())
        return false; // the class object itself
    auto toUint32 = [](const JS::Value& v) {
        return v.isInt32() ? static_cast<uint32_t>(v.toInt32()) : JS::ToUint32(v.toDouble());
    };
    out = GameObject(toUint32(id), toUint32(generation));
    return true;
}

bool Convert<ScriptCallback>::ToScript(JSContext*, const ScriptCallback& value,
                                       JS::MutableHandleValue out) {
    if (value.root)
        out.set(value.root->value);
    else
        out.setNull();
    return true;
}

bool Convert<ScriptCallback>::FromScript(JSContext* cx, JS::HandleValue value,
                                         ScriptCallback& out) {
    if (value.isNull())
        out.root.reset();
    else
        out.root = std::make_unique<ScriptCallback::Root>(cx, value);
    return true;
}

bool Convert<ScriptData>::ToScript(JSContext* cx, const ScriptData& value,
                                   JS::MutableHandleValue out) {
    return Convert<ScriptCallback>::ToScript(cx, value.stored, out);
}

bool Convert<ScriptData>::FromScript(JSContext* cx, JS::HandleValue value, ScriptData& out) {
    if (value.isNullOrUndefined()) {
        out.Reset();
        return true;
    }
    return value.isObject() && Convert<ScriptCallback>::FromScript(cx, value, out.stored);
}

bool Convert<ScriptArg>::ToScript(JSContext* cx, const ScriptArg& value,
                                  JS::MutableHandleValue out) {
    switch (value.kind) {
    case ScriptArg::Kind::Null:
        out.setNull();
        return true;
    case ScriptArg::Kind::Boolean:
        return Convert<bool>::ToScript(cx, value.boolean, out);
    case ScriptArg::Kind::Int32:
        return Convert<int32_t>::ToScript(cx, value.int32, out);
    case ScriptArg::Kind::Uint32:
        return Convert<uint32_t>::ToScript(cx, value.uint32, out);
    case ScriptArg::Kind::Number:
        return Convert<double>::ToScript(cx, value.number, out);
    case ScriptArg::Kind::String:
        return Convert<std::string>::ToScript(cx, value.string, out);
    case ScriptArg::Kind::GameObject:
        return Convert<GameObject>::ToScript(cx, value.handle, out);
    case ScriptArg::Kind::Vector:
        if (value.vectorLength == 2)
            return Convert<glm::vec2>::ToScript(cx, glm::vec2(value.vector), out);
        return Convert<glm::vec3>::ToScript(cx, value.vector, out);
    case ScriptArg::Kind::Wrapper: {
        JSObject* wrapper = value.object ? NewWrapper(*value.type, value.object) : nullptr;
        if (!wrapper && JS_IsExceptionPending(cx))
            return false;
        out.setObjectOrNull(wrapper);
        return true;
    }
    }
    out.setUndefined();
    return true;
}

} // namespace script
