#include "script/ScriptData.h"

#include <js/Array.h>
#include <js/PropertyAndElement.h>
#include <js/PropertyDescriptor.h>
#include <js/Proxy.h>
#include <jsapi.h>

#include "script/ScriptHost.h"
#include "script/ScriptJson.h"
#include "script/ScriptValue.h"

namespace {

using script::OwnDataValue;

// The stored object, or null when there is none to look at (or only a proxy,
// whose traps would run script).
JSObject* StoredObject(JSContext* cx, const ScriptCallback& stored) {
    JS::RootedValue value(cx);
    if (!script::Convert<ScriptCallback>::ToScript(cx, stored, &value) || !value.isObject() ||
        js::IsProxy(&value.toObject()))
        return nullptr;
    return &value.toObject();
}

// An ordinary array of exactly three numbers, each an own data element.
bool AsTriple(JSContext* cx, JS::HandleValue value, glm::vec3& out) {
    if (!value.isObject() || js::IsProxy(&value.toObject()))
        return false;
    JS::RootedObject array(cx, &value.toObject());
    bool isArray = false;
    uint32_t length = 0;
    if (!JS::IsArrayObject(cx, array, &isArray) || !isArray ||
        !JS::GetArrayLength(cx, array, &length) || length != 3) {
        JS_ClearPendingException(cx);
        return false;
    }
    JS::RootedId id(cx);
    JS::RootedValue element(cx);
    for (uint32_t i = 0; i < 3; ++i) {
        id = JS::PropertyKey::Int(static_cast<int32_t>(i));
        if (!OwnDataValue(cx, array, id, &element) || !element.isNumber())
            return false;
        out[static_cast<int>(i)] = static_cast<float>(element.toNumber());
    }
    return true;
}

// The plain value of a script value, or monostate.
script::FieldValue PlainValue(JSContext* cx, JS::HandleValue value) {
    if (value.isNumber())
        return value.toNumber();
    if (value.isBoolean())
        return value.toBoolean();
    if (value.isString()) {
        std::string text;
        if (script::Convert<std::string>::FromScript(cx, value, text))
            return text;
        JS_ClearPendingException(cx);
        return std::monostate{};
    }
    glm::vec3 triple;
    if (AsTriple(cx, value, triple))
        return triple;
    return std::monostate{};
}

} // namespace

void ScriptData::Ensure() {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!stored.IsNull() || !cx)
        return;
    JS::RootedObject object(cx, JS_NewPlainObject(cx));
    JS::RootedValue value(cx);
    if (object)
        value.setObject(*object);
    if (!object || !script::Convert<ScriptCallback>::FromScript(cx, value, stored))
        JS_ClearPendingException(cx);
}

std::vector<std::pair<std::string, script::FieldValue>> ScriptData::ReadPlainValues() const {
    std::vector<std::pair<std::string, script::FieldValue>> values;
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!cx)
        return values;
    JS::RootedObject obj(cx, StoredObject(cx, stored));
    if (!obj)
        return values;
    JSAutoRealm realm(cx, obj);
    JS::Rooted<JS::IdVector> ids(cx, JS::IdVector(cx));
    if (!JS_Enumerate(cx, obj, &ids)) {
        JS_ClearPendingException(cx);
        return values;
    }
    JS::RootedValue value(cx);
    JS::RootedValue key(cx);
    for (size_t i = 0; i < ids.length(); ++i) {
        if (!ids[i].isString() || !OwnDataValue(cx, obj, ids[i], &value))
            continue;
        script::FieldValue plain = PlainValue(cx, value);
        if (std::holds_alternative<std::monostate>(plain))
            continue;
        std::string name;
        key.setString(ids[i].toString());
        if (!script::Convert<std::string>::FromScript(cx, key, name)) {
            JS_ClearPendingException(cx);
            continue;
        }
        values.emplace_back(std::move(name), std::move(plain));
    }
    return values;
}

bool ScriptData::WritePlainValue(const std::string& key, const script::FieldValue& value) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    if (!cx)
        return false;
    JS::RootedObject obj(cx, StoredObject(cx, stored));
    if (!obj)
        return false;
    JSAutoRealm realm(cx, obj);
    JS::RootedValue name(cx);
    JS::RootedId id(cx);
    if (!script::Convert<std::string>::ToScript(cx, key, &name) || !JS_ValueToId(cx, name, &id)) {
        JS_ClearPendingException(cx);
        return false;
    }
    JS::RootedValue current(cx);
    bool writable = false;
    if (!OwnDataValue(cx, obj, id, &current, &writable) || !writable)
        return false;
    const script::FieldValue was = PlainValue(cx, current);
    if (was.index() != value.index() || std::holds_alternative<std::monostate>(value))
        return false;
    bool ok = true;
    if (const glm::vec3* triple = std::get_if<glm::vec3>(&value)) {
        // In place: the script may hold the array itself.
        JS::RootedObject array(cx, &current.toObject());
        for (uint32_t i = 0; ok && i < 3; ++i)
            ok = JS_SetElement(cx, array, i, static_cast<double>((*triple)[static_cast<int>(i)]));
    } else {
        JS::RootedValue next(cx);
        if (const double* number = std::get_if<double>(&value))
            next.setNumber(*number);
        else if (const bool* flag = std::get_if<bool>(&value))
            next.setBoolean(*flag);
        else
            ok = script::Convert<std::string>::ToScript(cx, std::get<std::string>(value), &next);
        ok = ok && JS_SetPropertyById(cx, obj, id, next);
    }
    if (!ok)
        JS_ClearPendingException(cx);
    return ok;
}
