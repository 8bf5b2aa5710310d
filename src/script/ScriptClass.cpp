#include "script/ScriptClass.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include <js/PropertyAndElement.h>
#include <js/Realm.h>

#include "script/ScriptApiReference.h"
#include "script/ScriptHost.h"
#include "script/ScriptWrapper.h"

namespace script {

namespace {

std::vector<ScriptClassBase*>& Registry() {
    static std::vector<ScriptClassBase*> classes;
    return classes;
}

bool IsPropertyKind(MemberKind kind) {
    return kind == MemberKind::Property || kind == MemberKind::Constant;
}

} // namespace

ScriptClassBase::ScriptClassBase(const char* name, unsigned reservedSlots, bool byIndex,
                                 const char* goneText, std::initializer_list<Member> members,
                                 const std::type_info& type, void (*registration)())
    : clasp{name,    JSCLASS_HAS_RESERVED_SLOTS(reservedSlots < 1 ? 1 : reservedSlots),
            nullptr, nullptr,
            nullptr, nullptr},
      name(name), byIndex(byIndex), goneText(goneText), type(&type), members(members) {
    Registry().push_back(this);
    ScriptHost::AddClassRegistration(registration);
}

void ScriptClassBase::FailDeclaredTwice(const char* name) {
    std::fprintf(stderr, "script class %s is declared twice; each class has one table\n", name);
    std::abort();
}

const std::vector<ScriptClassBase*>& ScriptClassBase::All() {
    return Registry();
}

const ScriptClassBase* ScriptClassBase::FromClasp(const JSClass* clasp) {
    for (const ScriptClassBase* cls : Registry())
        if (&cls->clasp == clasp)
            return cls;
    return nullptr;
}

const ScriptClassBase* ScriptClassBase::FromType(const std::type_info& type) {
    for (const ScriptClassBase* cls : Registry())
        if (*cls->type == type)
            return cls;
    return nullptr;
}

void ScriptClassBase::ReleaseAll() {
    for (ScriptClassBase* cls : Registry())
        cls->prototype.reset();
}

void ScriptClassBase::RegisterWithHost() {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx)
        return;
    JS::RootedObject global(cx, host.GetGlobal());

    propertySpecs.clear();
    functionSpecs.clear();
    for (const Member& member : members) {
        if (IsPropertyKind(member.kind)) {
            // Attributes 0: not enumerable, and every access goes through the accessors.
            propertySpecs.push_back(JSPropertySpec::nativeAccessors(
                member.name, 0, member.native, nullptr, member.setter, nullptr));
        } else {
            functionSpecs.push_back({JSFunctionSpec::Name(member.name),
                                     {member.native, nullptr},
                                     static_cast<uint16_t>(member.argCount),
                                     0,
                                     nullptr});
        }
    }
    propertySpecs.push_back(JS_PS_END);
    functionSpecs.push_back(JS_FS_END);

    JS::RootedObject objectPrototype(cx, JS::GetRealmObjectPrototype(cx));
    if (!objectPrototype)
        return;
    JS::RootedObject proto(cx, JS_NewObjectWithGivenProto(cx, &clasp, objectPrototype));
    if (!proto || !JS_DefineProperties(cx, proto, propertySpecs.data()) ||
        !JS_DefineFunctions(cx, proto, functionSpecs.data()) ||
        !JS_DefineProperty(cx, global, name, proto, 0))
        return;
    if (prototype.initialized())
        prototype = proto;
    else
        prototype.init(cx, proto);
}

JSObject* ScriptClassBase::NewObject(JSContext* cx) const {
    if (!IsRegistered())
        return nullptr;
    JS::RootedObject proto(cx, prototype);
    return JS_NewObjectWithGivenProto(cx, &clasp, proto);
}

JSObject* ScriptClassBase::WrapPointer(JSContext* cx, void* object) const {
    if (!object || byIndex)
        return nullptr;
    JSObject* obj = NewObject(cx);
    if (obj)
        JS::SetReservedSlot(obj, 0, JS::PrivateValue(object));
    return obj;
}

const Member* ScriptClassBase::FindMember(JSNative native, bool* isSetter) const {
    *isSetter = false;
    if (!native)
        return nullptr;
    for (const Member& member : members) {
        if (member.native == native)
            return &member;
        if (member.setter == native) {
            *isSetter = true;
            return &member;
        }
    }
    return nullptr;
}

std::string ScriptClassBase::MemberLabel(const Member* member, bool isSetter) const {
    if (!member)
        return name;
    if (IsPropertyKind(member->kind))
        return std::string(isSetter ? "JSSet_" : "JSGet_") + member->name;
    return std::string(name) + "." + member->name;
}

bool ScriptClassBase::FailNoPrivate(JSContext* cx, JS::HandleValue thisValue,
                                    JSNative native) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    const std::string label = MemberLabel(member, isSetter);
    if (member && IsPropertyKind(member->kind)) {
        JS_ReportErrorLatin1(cx, "Error, Private data could not be retrieved in %s.",
                             label.c_str());
        return false;
    }
    std::string why;
    if (thisValue.isObject() && JS::GetClass(&thisValue.toObject()) == &clasp)
        why = std::string("call it on a ") + name + " object, not on the class object";
    else
        why = "'this' is " + DescribeValue(cx, thisValue) + ", not a " + name + " object";
    JS_ReportErrorLatin1(cx, "Error, Private data could not be retrieved in %s: %s.", label.c_str(),
                         why.c_str());
    return false;
}

bool ScriptClassBase::FailArgument(JSContext* cx, JSNative native, int index,
                                   const std::string& expected, JS::HandleValue got) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    const std::string where = std::string(name) + "." + (member ? member->name : "?");
    const std::string what =
        index < 0 ? std::string("the value") : "argument " + std::to_string(index + 1);
    JS_ReportErrorLatin1(cx, "Error in %s: %s must be %s, got %s.", where.c_str(), what.c_str(),
                         expected.c_str(), DescribeValue(cx, got).c_str());
    return false;
}

bool ScriptClassBase::FailEngineException(JSContext* cx, JSNative native, const char* what) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    JS_ReportErrorLatin1(cx, "Error in %s.%s: %s", name, member ? member->name : "?", what);
    return false;
}

bool ScriptClassBase::FailGone(JSContext* cx, JSNative native, uint32_t index) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    if (member)
        JS_ReportErrorLatin1(cx,
                             "Error, Private data could not be retrieved in %s: the %s at index "
                             "%u is gone (%s).",
                             MemberLabel(member, isSetter).c_str(), name, index, goneText);
    else
        JS_ReportErrorLatin1(cx, "Error, the %s at index %u is gone (%s).", name, index, goneText);
    return false;
}

JSObject* NewWrapper(const std::type_info& type, void* object) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    const ScriptClassBase* cls = ScriptClassBase::FromType(type);
    if (!cx || !cls)
        return nullptr;
    return cls->WrapPointer(cx, object);
}

namespace {

const char* KindTitle(MemberKind kind) {
    switch (kind) {
    case MemberKind::Property:
        return "property";
    case MemberKind::Constant:
        return "constant";
    case MemberKind::Method:
        return "method";
    case MemberKind::Function:
        return "function";
    }
    return "";
}

} // namespace

std::string ApiReferenceMarkdown() {
    std::vector<const ScriptClassBase*> classes(ScriptClassBase::All().begin(),
                                                ScriptClassBase::All().end());
    std::sort(classes.begin(), classes.end(),
              [](const ScriptClassBase* a, const ScriptClassBase* b) {
                  return std::string(a->Name()) < b->Name();
              });

    std::string out = "# Scripting API\n\n"
                      "Generated by `marrowvale --api-reference` from the engine's binding "
                      "tables. Do not edit by hand.\n\n"
                      "Each class is a global object named after the class. Properties are read "
                      "and written on an object of the class (a wrapper the engine hands out); "
                      "constants and functions can be used on the class object itself; methods "
                      "need an object of the class. A function called with another number of "
                      "arguments than listed returns undefined and does nothing.\n";
    for (const ScriptClassBase* cls : classes) {
        out += "\n## ";
        out += cls->Name();
        out += "\n\n";
        if (cls->Members().empty()) {
            out += "No properties or functions.\n";
            continue;
        }
        out += "| Member | Kind | Arguments | Type or signature |\n";
        out += "|---|---|---|---|\n";
        for (const Member& member : cls->Members()) {
            const bool isFunction =
                member.kind == MemberKind::Method || member.kind == MemberKind::Function;
            out += "| `";
            out += member.name;
            out += "` | ";
            out += KindTitle(member.kind);
            out += " | ";
            out += isFunction ? std::to_string(member.argCount) : std::string("-");
            out += " | ";
            out +=
                member.kind == MemberKind::Constant ? "= " + member.describe() : member.describe();
            out += " |\n";
        }
    }
    return out;
}

} // namespace script
