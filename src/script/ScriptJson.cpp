// Script data as JSON, read without running any script.

#include "script/ScriptJson.h"

#include <cmath>
#include <cstring>
#include <string>

#include <js/Array.h>
#include <js/PropertyAndElement.h>
#include <js/PropertyDescriptor.h>
#include <js/Proxy.h>
#include <js/String.h>

#include "script/ScriptValue.h"

namespace script {
namespace {

using Json = nlohmann::ordered_json;

// UTF-8, lone surrogates replaced, so that every saved file is valid JSON.
bool Utf8Of(JSContext* cx, JSString* string, std::string& out) {
    JS::RootedString rooted(cx, string);
    JS::UniqueChars chars = JS_EncodeStringToUTF8(cx, rooted);
    if (!chars) {
        JS_ClearPendingException(cx);
        return false;
    }
    out = chars.get();
    return true;
}

} // namespace

bool OwnDataValue(JSContext* cx, JS::HandleObject obj, JS::HandleId id, JS::MutableHandleValue out,
                  bool* writable) {
    JS::Rooted<mozilla::Maybe<JS::PropertyDescriptor>> desc(cx);
    if (!JS_GetOwnPropertyDescriptorById(cx, obj, id, &desc)) {
        JS_ClearPendingException(cx);
        return false;
    }
    if (desc.isNothing() || !desc->isDataDescriptor())
        return false;
    out.set(desc->value());
    if (writable)
        *writable = desc->writable();
    return true;
}

bool ValueToJson(JSContext* cx, JS::HandleValue value, Json& out, const IndexOfObject& indexOf,
                 int depth) {
    if (value.isNull())
        return out = nullptr, true;
    if (value.isBoolean())
        return out = value.toBoolean(), true;
    if (value.isInt32())
        return out = value.toInt32(), true;
    if (value.isNumber()) {
        const double number = value.toNumber();
        out = std::isfinite(number) ? Json(number) : Json(nullptr);
        return true;
    }
    if (value.isString()) {
        std::string text;
        if (!Utf8Of(cx, value.toString(), text))
            return false;
        return out = std::move(text), true;
    }
    if (!value.isObject() || depth >= kMaxJsonDepth)
        return false;
    GameObject handle;
    if (Convert<GameObject>::FromScript(cx, value, handle)) {
        const std::optional<std::size_t> index = indexOf(handle);
        out = index ? Json{{"$object", *index}} : Json(nullptr);
        return true;
    }
    JS_ClearPendingException(cx);
    JS::RootedObject obj(cx, &value.toObject());
    if (js::IsProxy(obj) || JS_ObjectIsFunction(obj))
        return false;
    bool isArray = false;
    if (!JS::IsArrayObject(cx, obj, &isArray)) {
        JS_ClearPendingException(cx);
        return false;
    }
    JS::RootedValue item(cx);
    if (isArray) {
        uint32_t length = 0;
        if (!JS::GetArrayLength(cx, obj, &length)) {
            JS_ClearPendingException(cx);
            return false;
        }
        out = Json::array();
        JS::RootedId id(cx);
        for (uint32_t i = 0; i < length; ++i) {
            Json element(nullptr);
            id = JS::PropertyKey::Int(static_cast<int32_t>(i));
            // A hole or a value that is no data keeps the places of the others.
            if (OwnDataValue(cx, obj, id, &item) &&
                !ValueToJson(cx, item, element, indexOf, depth + 1))
                element = nullptr;
            out.push_back(std::move(element));
        }
        return true;
    }
    if (std::strcmp(JS::GetClass(obj)->name, "Object") != 0)
        return false; // a Map, a Date, an engine object: not plain data
    out = Json::object();
    JS::Rooted<JS::IdVector> ids(cx, JS::IdVector(cx));
    if (!JS_Enumerate(cx, obj, &ids)) {
        JS_ClearPendingException(cx);
        return true;
    }
    for (size_t i = 0; i < ids.length(); ++i) {
        Json element;
        std::string key;
        if (!ids[i].isString() || !OwnDataValue(cx, obj, ids[i], &item) ||
            !Utf8Of(cx, ids[i].toString(), key) ||
            !ValueToJson(cx, item, element, indexOf, depth + 1))
            continue;
        out[key] = std::move(element);
    }
    return true;
}

bool JsonToValue(JSContext* cx, const Json& in, JS::MutableHandleValue out,
                 const ObjectAtIndex& objectAt) {
    switch (in.type()) {
    case Json::value_t::boolean:
        out.setBoolean(in.get<bool>());
        return true;
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
    case Json::value_t::number_float:
        out.set(NumberToScript(in.get<double>()));
        return true;
    case Json::value_t::string: {
        const std::string& text = in.get_ref<const std::string&>();
        JSString* string = JS_NewStringCopyUTF8N(cx, JS::UTF8Chars(text.data(), text.size()));
        if (!string)
            return false;
        out.setString(string);
        return true;
    }
    case Json::value_t::array:
        return ArrayToScript(
            cx, in,
            [&objectAt](JSContext* c, const Json& element, JS::MutableHandleValue item) {
                return JsonToValue(c, element, item, objectAt);
            },
            out);
    case Json::value_t::object: {
        if (in.size() == 1 && in.contains("$object") && in["$object"].is_number_unsigned())
            return Convert<GameObject>::ToScript(cx, objectAt(in["$object"].get<std::size_t>()),
                                                 out);
        JS::RootedObject obj(cx, JS_NewPlainObject(cx));
        if (!obj)
            return false;
        JS::RootedValue item(cx);
        for (auto it = in.begin(); it != in.end(); ++it) {
            const std::string& key = it.key();
            JS::RootedString name(cx,
                                  JS_NewStringCopyUTF8N(cx, JS::UTF8Chars(key.data(), key.size())));
            JS::RootedId id(cx);
            if (!name || !JS_StringToId(cx, name, &id) ||
                !JsonToValue(cx, it.value(), &item, objectAt) ||
                !JS_DefinePropertyById(cx, obj, id, item, JSPROP_ENUMERATE))
                return false;
        }
        out.setObject(*obj);
        return true;
    }
    default:
        out.setNull();
        return true;
    }
}

} // namespace script
