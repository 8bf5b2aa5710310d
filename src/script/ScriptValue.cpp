#include "script/ScriptValue.h"

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

namespace script {

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

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

// Elements 0..count-1 of any object; the length is not checked, and an
// element that is missing or not a number is NaN. False without an
// exception when the value is not an object at all.
bool ArrayToNumbers(JSContext* cx, JS::HandleValue value, float* out, size_t count) {
    if (!value.isObject())
        return false;
    JS::RootedObject array(cx, &value.toObject());
    JS::RootedValue element(cx);
    for (size_t i = 0; i < count; ++i) {
        if (!JS_GetElement(cx, array, static_cast<uint32_t>(i), &element))
            return false;
        out[i] = element.isNumber() ? static_cast<float>(element.toNumber()) : kNaN;
    }
    return true;
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
        return "a string";
    if (value.isSymbol())
        return "a symbol";
    if (!value.isObject())
        return "a BigInt";
    JSObject* obj = &value.toObject();
    if (const ScriptClassBase* cls = ScriptClassBase::FromClasp(JS::GetClass(obj))) {
        if (JS::GetReservedSlot(obj, 0).isUndefined())
            return std::string("the ") + cls->Name() + " class object";
        return std::string("a ") + cls->Name() + " object";
    }
    if (JS::IsCallable(obj))
        return "a function";
    bool isArray = false;
    if (JS::IsArrayObject(cx, value, &isArray) && isArray)
        return "an array";
    JS_ClearPendingException(cx);
    return "an object";
}

bool Stringify(JSContext* cx, JS::HandleValue value, std::string& out) {
    if (value.isString())
        return StringToBytes(cx, value.toString(), out);
    JS::RootedString string(cx, JS::ToString(cx, value));
    return string && StringToBytes(cx, string, out);
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
    float values[N];
    if (!ArrayToNumbers(cx, value, values, N))
        return false;
    for (glm::length_t i = 0; i < N; ++i)
        out[i] = values[i];
    return true;
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
    if (!value.isObject())
        return false;
    JS::RootedObject array(cx, &value.toObject());
    JS::RootedValue element(cx);
    for (uint32_t i = 0; i < 2; ++i) {
        if (!JS_GetElement(cx, array, i, &element))
            return false;
        if (element.isInt32())
            out[i] = element.toInt32();
        else
            out[i] = element.isNumber() ? JS::ToInt32(element.toNumber()) : 0;
    }
    return true;
}

bool Convert<glm::quat>::ToScript(JSContext* cx, const glm::quat& value,
                                  JS::MutableHandleValue out) {
    const float values[4] = {value.x, value.y, value.z, value.w};
    return NumbersToArray(cx, values, 4, out);
}

bool Convert<glm::quat>::FromScript(JSContext* cx, JS::HandleValue value, glm::quat& out) {
    float values[4];
    if (!ArrayToNumbers(cx, value, values, 4))
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
    if (!value.isObject())
        return false;
    JS::RootedObject array(cx, &value.toObject());
    JS::RootedValue column(cx);
    for (glm::length_t c = 0; c < N; ++c) {
        if (!JS_GetElement(cx, array, static_cast<uint32_t>(c), &column))
            return false;
        float values[N];
        if (!ArrayToNumbers(cx, column, values, N)) {
            if (JS_IsExceptionPending(cx))
                return false;
            // A missing column reads like missing elements: NaN throughout.
            for (glm::length_t r = 0; r < N; ++r)
                values[r] = kNaN;
        }
        for (glm::length_t r = 0; r < N; ++r)
            out[c][r] = values[r];
    }
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
