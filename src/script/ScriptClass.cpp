#include "script/ScriptClass.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>

#include <js/Id.h>
#include <js/PropertyAndElement.h>
#include <js/Realm.h>

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

// Classes whose wrappers may own their object release it when collected; constructible
// ones answer `new` on their class object.
ScriptClassBase::ScriptClassBase(const ClassDescription& description, std::vector<Member> members)
    : ops{nullptr,
          nullptr,
          nullptr,
          nullptr,
          nullptr,
          nullptr,
          description.release ? &ScriptClassBase::Finalize : nullptr,
          nullptr,
          description.create ? &ScriptClassBase::Construct : nullptr,
          nullptr},
      clasp{description.name,
            JSCLASS_HAS_RESERVED_SLOTS(description.reservedSlots < 1 ? 1
                                                                     : description.reservedSlots) |
                (description.release ? JSCLASS_FOREGROUND_FINALIZE : 0),
            description.release || description.create ? &ops : nullptr,
            nullptr,
            nullptr,
            nullptr},
      d(description), members(std::move(members)) {
    Registry().push_back(this);
    ScriptHost::AddClassRegistration(d.registration);
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
        if (*cls->d.type == type)
            return cls;
    return nullptr;
}

std::string ScriptClassBase::NameOfType(const std::type_info& type) {
    if (const ScriptClassBase* cls = FromType(type))
        return cls->Name();
    for (const ScriptClassBase* cls : Registry())
        if (cls->d.baseType && *cls->d.baseType == type && cls->d.baseName)
            return cls->d.baseName;
    return "engine object";
}

std::string ScriptClassBase::TsNameOfType(const std::type_info& type) {
    if (const ScriptClassBase* cls = FromType(type))
        return TsIdentifier(cls->Name());
    for (const ScriptClassBase* cls : Registry())
        if (cls->d.baseType && *cls->d.baseType == type && cls->d.baseName)
            return TsIdentifier(cls->d.baseName);
    return "object";
}

bool ScriptClassBase::HoldsIndex(JSObject* obj) const {
    return d.byIndex && JS::GetReservedSlot(obj, kPrivateSlot).isNumber();
}

void* ScriptClassBase::UnwrapAs(JSContext* cx, JS::HandleValue value, const std::type_info& type,
                                bool take) {
    if (!value.isObject())
        return nullptr;
    JSObject* obj = &value.toObject();
    const ScriptClassBase* cls = FromClasp(JS::GetClass(obj));
    if (!cls)
        return nullptr;
    const bool exact = *cls->d.type == type;
    if (!exact && !(cls->d.baseType && *cls->d.baseType == type && cls->d.upcast))
        return nullptr;
    void* object = cls->d.resolve(obj);
    if (!object)
        return nullptr; // the class object, a wrapper that gave its object up, or one gone
    if (take) {
        if (cls->d.hold) {
            JS_ReportErrorLatin1(cx,
                                 "Error, a %s is shared by whoever holds it and cannot be "
                                 "handed over.",
                                 cls->Name());
            return nullptr;
        }
        // Handing over an object the engine owns would free it twice.
        if (!JS::GetReservedSlot(obj, kOwnedSlot).isTrue()) {
            JS_ReportErrorLatin1(cx,
                                 "Error, this %s belongs to the engine and cannot be handed over; "
                                 "create a new one.",
                                 cls->Name());
            return nullptr;
        }
        // The caller empties the wrapper (Detach) once the whole call is accepted.
    }
    return exact ? object : cls->d.upcast(object);
}

void ScriptClassBase::Detach(JSObject* obj) {
    const ScriptClassBase* cls = FromClasp(JS::GetClass(obj));
    if (!cls || cls->d.byIndex)
        return;
    void* object = JS::GetMaybePtrFromReservedSlot<void>(obj, kPrivateSlot);
    const bool held = cls->d.hold && JS::GetReservedSlot(obj, kOwnedSlot).isTrue();
    JS::SetReservedSlot(obj, kPrivateSlot, JS::UndefinedValue());
    if (JSCLASS_RESERVED_SLOTS(&cls->clasp) > kOwnedSlot)
        JS::SetReservedSlot(obj, kOwnedSlot, JS::UndefinedValue());
    if (held && object)
        cls->d.release(object);
}

bool ScriptClassBase::Construct(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    const ScriptClassBase* cls = FromClasp(JS::GetClass(&args.callee()));
    // Wrappers share the class object's JSClass; only the class object constructs.
    if (!cls || !cls->d.create || &args.callee() != cls->prototype.get()) {
        JS_ReportErrorLatin1(cx, "Error, only the class object %s is a constructor.",
                             cls ? cls->Name() : "?");
        return false;
    }
    if (args.length() != 0) {
        JS_ReportErrorLatin1(cx, "Error, new %s() takes no arguments, got %u.", cls->Name(),
                             args.length());
        return false;
    }
    void* object = cls->d.create();
    if (!object) {
        JS_ReportOutOfMemory(cx);
        return false;
    }
    JSObject* obj = cls->NewObject(cx);
    // A fresh object is either held (counted now) or owned by the new wrapper.
    const bool owned = !cls->d.hold || cls->d.hold(object);
    if (!obj) {
        if (owned)
            cls->d.release(object);
        return false;
    }
    JS::SetReservedSlot(obj, kPrivateSlot, JS::PrivateValue(object));
    JS::SetReservedSlot(obj, kOwnedSlot, JS::BooleanValue(owned));
    args.rval().setObject(*obj);
    return true;
}

void ScriptClassBase::Finalize(JS::GCContext*, JSObject* obj) {
    if (!JS::GetReservedSlot(obj, kOwnedSlot).isTrue())
        return;
    const ScriptClassBase* cls = FromClasp(JS::GetClass(obj));
    void* object = JS::GetMaybePtrFromReservedSlot<void>(obj, kPrivateSlot);
    if (cls && cls->d.release && object)
        cls->d.release(object);
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
        !JS_DefineFunctions(cx, proto, functionSpecs.data()))
        return;
    // String(wrapper) names the class: "[object TransformComponent]".
    JS::RootedId tag(cx, JS::GetWellKnownSymbolKey(cx, JS::SymbolCode::toStringTag));
    JS::RootedString className(cx, JS_NewStringCopyZ(cx, d.name));
    if (!className || !JS_DefinePropertyById(cx, proto, tag, className, JSPROP_READONLY) ||
        !JS_DefineProperty(cx, global, d.name, proto, 0))
        return;
    if (prototype.initialized())
        prototype = proto;
    else
        prototype.init(cx, proto);
    // As the web platform's own globals are: enumerable, neither replaced nor deleted.
    // It takes no properties of its own: `localStorage.best = 1` would keep nothing
    // the engine sees, so it fails in strict code instead of losing the value quietly.
    if (d.global) {
        JS::RootedObject object(cx, WrapPointer(cx, d.global()));
        JS::ObjectOpResult sealed;
        if (object && JS_PreventExtensions(cx, object, sealed))
            JS_DefineProperty(cx, global, d.globalName, object,
                              JSPROP_ENUMERATE | JSPROP_READONLY | JSPROP_PERMANENT);
    }
}

JSObject* ScriptClassBase::NewObject(JSContext* cx) const {
    if (!IsRegistered())
        return nullptr;
    JS::RootedObject proto(cx, prototype);
    return JS_NewObjectWithGivenProto(cx, &clasp, proto);
}

JSObject* ScriptClassBase::WrapPointer(JSContext* cx, void* object) const {
    if (!object || d.byIndex)
        return nullptr;
    JSObject* obj = NewObject(cx);
    if (obj) {
        JS::SetReservedSlot(obj, kPrivateSlot, JS::PrivateValue(object));
        if (d.hold && d.hold(object))
            JS::SetReservedSlot(obj, kOwnedSlot, JS::TrueValue());
    }
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
        return d.name;
    if (IsPropertyKind(member->kind))
        return std::string(isSetter ? "JSSet_" : "JSGet_") + member->name;
    return std::string(d.name) + "." + member->name;
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
        why = std::string("call it on a ") + d.name + " object, not on the class object";
    else
        why = "'this' is " + DescribeValue(cx, thisValue) + ", not a " + d.name + " object";
    JS_ReportErrorLatin1(cx, "Error, Private data could not be retrieved in %s: %s.", label.c_str(),
                         why.c_str());
    return false;
}

bool ScriptClassBase::FailArgument(JSContext* cx, JSNative native, int index,
                                   const std::string& expected, JS::HandleValue got) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    const std::string where = std::string(d.name) + "." + (member ? member->name : "?");
    // A setter's one argument is the value being assigned.
    const bool assigned = index < 0 || (member && IsPropertyKind(member->kind));
    const std::string what =
        assigned ? std::string("the value") : "argument " + std::to_string(index + 1);
    JS_ReportErrorLatin1(cx, "Error in %s: %s must be %s, got %s.", where.c_str(), what.c_str(),
                         expected.c_str(), DescribeValue(cx, got).c_str());
    return false;
}

bool ScriptClassBase::FailOption(JSContext* cx, JSNative native, int index,
                                 const OptionRefusal& why) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    const std::string where = std::string(d.name) + "." + (member ? member->name : "?");
    const std::string argument = "argument " + std::to_string(index + 1);
    // A number is shown as it is: "must be >= 0, got a number" would not say which.
    std::string got = DescribeValue(cx, why.got);
    if (why.got.isNumber()) {
        const double number = why.got.toNumber();
        char text[40];
        std::snprintf(text, sizeof text, "%.10g", number);
        got = std::isnan(number)   ? "NaN"
              : std::isinf(number) ? (number > 0 ? "Infinity" : "-Infinity")
                                   : text;
    }
    if (why.unknown)
        JS_ReportErrorLatin1(cx, "Error in %s: %s has no option '%s' (the options are %s), got %s.",
                             where.c_str(), argument.c_str(), why.option.c_str(),
                             why.expected.c_str(), got.c_str());
    else
        JS_ReportErrorLatin1(cx, "Error in %s: option '%s' of %s must be %s, got %s.",
                             where.c_str(), why.option.c_str(), argument.c_str(),
                             why.expected.c_str(), got.c_str());
    return false;
}

bool ScriptClassBase::FailEngineException(JSContext* cx, JSNative native, const char* what) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    JS_ReportErrorLatin1(cx, "Error in %s.%s: %s", d.name, member ? member->name : "?", what);
    return false;
}

bool ScriptClassBase::IsGone(JSObject* obj) const {
    return HoldsIndex(obj) && !d.resolve(obj);
}

std::string ScriptClassBase::GoneText(JSObject* obj) const {
    // Only wrappers made by index hold numbers in these slots.
    const JS::Value& index = JS::GetReservedSlot(obj, kPrivateSlot);
    const JS::Value& generation = JS::GetReservedSlot(obj, kGenerationSlot);
    if (!index.isNumber() || !generation.isNumber())
        return std::string("the ") + d.name + " is gone";
    return std::string("the ") + d.name + " of " + d.indexName + " " +
           std::to_string(JS::ToUint32(index.toNumber())) + " (generation " +
           std::to_string(JS::ToUint32(generation.toNumber())) + ") is gone (" + d.goneText + ")";
}

bool ScriptClassBase::FailGone(JSContext* cx, JSNative native, JSObject* obj) const {
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    JS_ReportErrorLatin1(cx, "Error, Private data could not be retrieved in %s: %s.",
                         MemberLabel(member, isSetter).c_str(), GoneText(obj).c_str());
    return false;
}

void ScriptClassBase::WarnArgumentCount(JSContext* cx, JSNative native, unsigned required,
                                        unsigned most, unsigned given) const {
    JS::AutoFilename file;
    unsigned line = 0;
    std::string where;
    if (JS::DescribeScriptedCaller(cx, &file, &line) && file.get())
        where = std::string(file.get()) + ":" + std::to_string(line);
    // Every place that makes the mistake is reported, each once: a wrong call
    // in a frame update or a loop would otherwise repeat every time it runs.
    // Calls from no script position share one report per function.
    static std::unordered_map<JSNative, std::unordered_set<std::string>> warned;
    if (!warned[native].insert(where).second)
        return;
    bool isSetter = false;
    const Member* member = FindMember(native, &isSetter);
    const std::string takes = required == most
                                  ? std::to_string(most)
                                  : std::to_string(required) + " to " + std::to_string(most);
    std::fprintf(stderr,
                 "%s%swarning: %s.%s takes %s argument%s, was called with %u; the call does "
                 "nothing and returns undefined (reported once per place it is called from)\n",
                 where.c_str(), where.empty() ? "" : ": ", d.name, member ? member->name : "?",
                 takes.c_str(), most == 1 ? "" : "s", given);
    std::fflush(stderr);
}

JSObject* NewWrapper(const std::type_info& type, void* object) {
    JSContext* cx = ScriptHost::Instance().GetContext();
    const ScriptClassBase* cls = ScriptClassBase::FromType(type);
    if (!cx || !cls)
        return nullptr;
    return cls->WrapPointer(cx, object);
}

std::vector<std::string> ParameterNames(const Member& member) {
    std::vector<std::string> names;
    if (!member.params)
        return names;
    std::string name;
    for (const char* c = member.params;; ++c) {
        if (*c == ',' || *c == '\0') {
            names.push_back(name);
            name.clear();
            if (*c == '\0')
                break;
        } else if (*c != ' ') {
            name += *c;
        }
    }
    return names;
}

std::vector<EditableField> EditableFieldsOf(const std::type_info& type) {
    std::vector<EditableField> fields;
    if (const ScriptClassBase* cls = ScriptClassBase::FromType(type))
        for (const Member& member : cls->Members())
            if (member.kind == MemberKind::Property && member.access.get)
                fields.push_back({member.name, member.access, member.note, member.hint});
    return fields;
}

bool IsColourName(const std::string& name) {
    std::string lower(name);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("color") != std::string::npos || lower.find("colour") != std::string::npos;
}

namespace detail {
void ReportEngineSideError(const char* thrown) {
    ScriptHost& host = ScriptHost::Instance();
    if (thrown)
        host.Report(nullptr, 0, 0,
                    std::string("a property set from an engine tool failed: ") + thrown);
    else
        host.ReportPendingException();
}
} // namespace detail

} // namespace script
