#pragma once

// The binding framework: one declarative table per engine class, declared in
// the class's own binding file, e.g. src/core/CoreScript.cpp:
//
//   using S = script::ScriptClass<Core>;
//   static const S coreClass("Core", {
//       S::Property<&Core::running>("running"),                  // a field
//       S::Property<&GetManager, &SetManager>("objectManager"),  // accessors
//       S::Method<&Core::Quit>("Quit"),                          // on an instance
//       S::Function<&CoreInstance>("Instance"),                  // on the class object
//       S::Constant<16>("MID_QuittingMessage"),                  // read-only integer
//   });
//
// The table is complete at static initialisation and queued with the script
// host, which registers it on the global object at start-up: the global name
// is the class's prototype, carrying the accessors and functions, so static
// functions can be called on it directly (ComponentStrings.Size()).
//
// What the framework does for every entry:
// - properties are accessors (getter and setter, not enumerable); reading or
//   writing one on an object without private data of the class reports
//   "Error, Private data could not be retrieved in JSGet_<name>." (JSSet_);
// - functions declare their argument count from the C++ signature; a call
//   with another count returns undefined and does nothing, and says so on
//   standard error the first time it is made from each place in the scripts
//   (such a call is almost always a mistake, and otherwise fails without a
//   trace; every place that makes it needs fixing, but a loop must not flood);
// - arguments, results and fields convert through script::Convert<T> only;
//   a value of the wrong kind or shape is a script error naming class,
//   member, argument and the expected type, never a crash, and nothing is
//   written to the engine object;
// - methods check `this`: the class object, or an object of another class,
//   is a script error;
// - a C++ exception thrown by the engine becomes a script error.
//
// A method or accessor given as a free function takes the object as its
// first parameter by reference: `void SetManager(Core& core, ObjectManager*)`.
// Engine code that raises a script error (ScriptHost::ReportError) from a
// bound function makes that call fail in the script.
//
// The C++ types of fields, arguments and results choose the conversion (see
// ScriptValue.h): numbers, bool, std::string, glm vectors, matrices and
// quaternions, GameObject, ScriptCallback, engine-object pointers (a new
// wrapper each time, null for null), IndexedRef<T> for objects found by index
// (components: ComponentRef<T>(owner)), Owned<T>/Taken<T> for objects a
// script creates and later hands over, std::optional<T> for "or null",
// PointerOrNull<T> for a pointer property that stores null for any other value,
// OptionalArg<T> for trailing arguments a call may leave out.
//
// ClassOptions<T> (the third argument) sets reserved slots for value classes,
// a lookup for index-based wrappers, a release for owned objects, a create for
// classes scripts make with `new`, a hold for objects shared by reference
// count (VoxelModel) and a base class (Derives<Base>) that any of the class's
// wrappers converts to, and a global for a class the game has one object of
// (Storage, whose object is localStorage).

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <limits>
#include <string>
#include <tuple>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include <js/Object.h>
#include <js/PropertySpec.h>
#include <jsapi.h>

#include "script/FieldAccess.h"
#include "script/ScriptValue.h"

namespace script {

enum class MemberKind { Property, Constant, Method, Function };

// One entry of a class table. Made by the ScriptClass<T> builders only.
struct Member {
    const char* name;
    MemberKind kind;
    JSNative native; // a property's getter, a function's call
    JSNative setter; // properties and constants only
    unsigned argCount;
    std::string (*describe)();  // type of a property, value of a constant, signature of a function
    const char* note = nullptr; // what the reference says beyond the type
    // The TypeScript declarations' type of a property or constant, or a function's
    // parameters and result ("(arg1: string, arg2: number) => void"); null reads as any.
    std::string (*typescript)() = nullptr;

    // Parameter names for the reference and the declarations, comma-separated
    // ("target, up"); without them parameters read arg1, arg2, ...
    const char* params = nullptr;
    // A whole TypeScript signature that says more than the C++ types can (a
    // generic result); it replaces the one made from them.
    const char* tsSignature = nullptr;
    // How engine tools read and write a property from C++ (FieldAccess.h).
    FieldAccess access{};
    // A few words engine tools show beside the property ("not drawn").
    const char* hint = nullptr;

    // The same entry with a note for the reference.
    Member Noted(const char* text) const {
        Member noted = *this;
        noted.note = text;
        return noted;
    }
    // The same entry with its parameters named.
    Member Args(const char* names) const {
        Member named = *this;
        named.params = names;
        return named;
    }
    Member TypedAs(const char* signature) const {
        Member typed = *this;
        typed.tsSignature = signature;
        return typed;
    }
    // The same entry with a hint for engine tools.
    Member Hinted(const char* text) const {
        Member hinted = *this;
        hinted.hint = text;
        return hinted;
    }
    // The same entry, a float whose kLibraryDefault keeps the library's own value.
    Member DefaultWhenUnset() const {
        Member marked = *this;
        marked.access.libraryDefault = true;
        return marked;
    }
};

// `params` split at its commas, spaces trimmed; empty without names.
std::vector<std::string> ParameterNames(const Member& member);

// How a class's wrappers find their engine object, and what they may own.
template <class T> struct ClassOptions {
    // Slots of each script object; slot 0 holds the private data.
    unsigned reservedSlots = 1;

    // When set, wrappers hold an IndexedRef<T> instead of a pointer and find
    // their object through this at every access; null means the object is
    // gone and `goneText` tells scripts why.
    T* (*lookup)(const IndexedRef<T>& ref) = nullptr;
    const char* indexName = "index";
    const char* goneText = "it no longer exists";

    // When set, a wrapper made through Owned<T> owns its object: if the
    // script drops it without handing the object over (Taken<T>), the
    // garbage collector releases the object with this.
    void (*release)(T* object) = nullptr;

    // When set, `new Name()` (no arguments) makes an object with this, and the new
    // wrapper owns it (release) or holds it (hold). Other classes are no constructors.
    T* (*create)() = nullptr;

    // When set, objects may be shared: every wrapper made for an object for which this
    // returns true (having counted the wrapper as a holder) lets go of it through
    // `release` when the collector finalizes the wrapper. Such wrappers never hand
    // their object over (Taken<T>).
    bool (*hold)(T* object) = nullptr;

    // When set, the game has one object of the class, which scripts reach as
    // the global `globalName` (localStorage, the game's Storage) rather than
    // through a function: a wrapper of what `global` returns, defined beside
    // the class object, read-only.
    const char* globalName = nullptr;
    T* (*global)() = nullptr;

    // Wrappers of this class also convert to Base* (every message object is
    // a Message); `baseName` names such arguments in error messages.
    template <class Base> ClassOptions& Derives(const char* name) {
        static_assert(std::is_base_of_v<Base, T>);
        baseType = &typeid(Base);
        baseName = name;
        upcast = [](void* object) -> void* { return static_cast<Base*>(static_cast<T*>(object)); };
        return *this;
    }
    const std::type_info* baseType = nullptr;
    const char* baseName = nullptr;
    void* (*upcast)(void*) = nullptr;
};

// What the framework needs of a class without its C++ type.
struct ClassDescription {
    const char* name;
    unsigned reservedSlots;
    const std::type_info* type;
    bool byIndex;
    const char* indexName;
    const char* goneText;
    const std::type_info* baseType;
    const char* baseName;
    void* (*upcast)(void*);
    void* (*resolve)(JSObject* obj); // the live object behind a wrapper, or null
    void (*release)(void* object);
    void* (*create)();
    bool (*hold)(void* object);
    void (*registration)();
    const char* globalName;
    void* (*global)();
};

class ScriptClassBase {
  public:
    // Slots of every wrapper. A wrapper holding an index keeps it in
    // kPrivateSlot, with the generation and era of its IndexedRef in the two
    // after it; kOwnedSlot is true while an owning wrapper owns its object.
    static constexpr unsigned kPrivateSlot = 0;
    static constexpr unsigned kOwnedSlot = 1;
    static constexpr unsigned kGenerationSlot = 1;
    static constexpr unsigned kEraSlot = 2;
    static constexpr unsigned kIndexSlots = 3;

    ScriptClassBase(const ScriptClassBase&) = delete;
    ScriptClassBase& operator=(const ScriptClassBase&) = delete;

    const char* Name() const { return d.name; }
    // What the class's wrappers also convert to ("Message"); null for none.
    const char* BaseName() const { return d.baseName; }
    const JSClass* Clasp() const { return &clasp; }
    const std::vector<Member>& Members() const { return members; }
    bool IsRegistered() const { return prototype.initialized() && prototype.get() != nullptr; }
    bool IsConstructible() const { return d.create != nullptr; }
    // The global naming the class's one object ("localStorage"); null for none.
    const char* GlobalName() const { return d.global ? d.globalName : nullptr; }

    // A new object of this class with its registered prototype and empty
    // slots. Null when the class is not registered (no exception) or the
    // engine is out of memory (exception pending).
    JSObject* NewObject(JSContext* cx) const;

    // Every declared class, in declaration order.
    static const std::vector<ScriptClassBase*>& All();
    static const ScriptClassBase* FromClasp(const JSClass* clasp);
    static const ScriptClassBase* FromType(const std::type_info& type);
    // How error messages name a C++ type: its class, or the base name that
    // classes deriving from it gave.
    static std::string NameOfType(const std::type_info& type);
    // The same for the TypeScript declarations: `object` for a type no class names.
    static std::string TsNameOfType(const std::type_info& type);
    // Drops every prototype root; the host calls it before the context goes.
    // The context's last collection then finalizes every wrapper, and owning
    // wrappers release what scripts still held, so whatever a release gives
    // back to must outlive the host's shut-down.
    static void ReleaseAll();

    // A new wrapper around a pointer, for engine code that cannot see the
    // class template. Null for classes that wrap by index.
    JSObject* WrapPointer(JSContext* cx, void* object) const;

    // The engine object behind `value` as a `type`: from a wrapper of the
    // class bound to `type` or of a class deriving from it. Null without an
    // exception when `value` is no such wrapper or its object is gone (the
    // caller names the argument, DescribeValue says why). With `take`, the
    // object must be owned by the wrapper, and the wrapper gives it up; null
    // with an exception when it does not own it.
    static void* UnwrapAs(JSContext* cx, JS::HandleValue value, const std::type_info& type,
                          bool take);

    // Empties a wrapper of an engine class: from now on it reports missing
    // private data. For objects lent to a script for one call.
    static void Detach(JSObject* obj);

    // Slow paths of the natives: each raises a script error and returns false.
    bool FailNoPrivate(JSContext* cx, JS::HandleValue thisValue, JSNative native) const;
    bool FailArgument(JSContext* cx, JSNative native, int index, const std::string& expected,
                      JS::HandleValue got) const;
    // One option of an options argument (ScriptValue.h) was refused.
    bool FailOption(JSContext* cx, JSNative native, int index, const OptionRefusal& why) const;
    bool FailEngineException(JSContext* cx, JSNative native, const char* what) const;
    bool FailGone(JSContext* cx, JSNative native, JSObject* obj) const;

    // A wrapper made from an index whose object is gone, and what to tell
    // scripts about it: "the TransformComponent of object 3 (generation 1)
    // is gone (...)".
    bool IsGone(JSObject* obj) const;
    std::string GoneText(JSObject* obj) const;

    // Reports on standard error, once per function and calling script line,
    // a call with another number of arguments than the function takes.
    void WarnArgumentCount(JSContext* cx, JSNative native, unsigned required, unsigned most,
                           unsigned given) const;

    // Releases what an owning wrapper still owns when it is collected.
    static void Finalize(JS::GCContext* gcx, JSObject* obj);

    // `new Name()` on the class object of a constructible class.
    static bool Construct(JSContext* cx, unsigned argc, JS::Value* vp);

  protected:
    ScriptClassBase(const ClassDescription& description, std::vector<Member> members);
    ~ScriptClassBase() = default;

    // Defines the prototype and binds it on the global object of the host
    // under the class name.
    void RegisterWithHost();
    [[noreturn]] static void FailDeclaredTwice(const char* name);

    JSClassOps ops; // before clasp, which points at it
    JSClass clasp;

  private:
    const Member* FindMember(JSNative native, bool* isSetter) const;
    std::string MemberLabel(const Member* member, bool isSetter) const;
    bool HoldsIndex(JSObject* obj) const;

    ClassDescription d;
    std::vector<Member> members;
    std::vector<JSPropertySpec> propertySpecs;
    std::vector<JSFunctionSpec> functionSpecs;
    JS::PersistentRootedObject prototype;
};

namespace detail {

// How many arguments a call must pass: all but the optional ones at the end.
template <class... A> constexpr unsigned RequiredArgs() {
    constexpr bool optional[] = {false, IsOptionalArg<std::decay_t<A>>::value...};
    unsigned required = sizeof...(A);
    while (required > 0 && optional[required])
        --required;
    for (unsigned i = 1; i <= required; ++i)
        if (optional[i])
            throw "an optional argument must not come before a required one";
    return required;
}

template <class... A> struct TypeList {
    static constexpr unsigned kCount = sizeof...(A);
    static constexpr unsigned kRequired = RequiredArgs<A...>();
};

template <class F> struct Callable;
template <class R, class... A> struct Callable<R (*)(A...)> {
    using Result = R;
    using Params = TypeList<A...>;
    using Rest = TypeList<>; // parameters after the object, for free-function methods
    static constexpr bool kMember = false;
};
template <class R, class First, class... A> struct Callable<R (*)(First, A...)> {
    using Result = R;
    using Params = TypeList<First, A...>;
    using Rest = TypeList<A...>;
    static constexpr bool kMember = false;
};
template <class R, class... A> struct Callable<R (*)(A...) noexcept> : Callable<R (*)(A...)> {};
template <class R, class C, class... A> struct Callable<R (C::*)(A...)> {
    using Result = R;
    using Params = TypeList<A...>;
    using Rest = TypeList<A...>;
    static constexpr bool kMember = true;
};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) const> : Callable<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) noexcept> : Callable<R (C::*)(A...)> {};
template <class R, class C, class... A>
struct Callable<R (C::*)(A...) const noexcept> : Callable<R (C::*)(A...)> {};

// Arguments a script passes: all parameters of a static function; those
// after the object for a method.
template <auto Fn, bool IsMethod>
using ScriptParams = std::conditional_t<IsMethod, typename Callable<decltype(Fn)>::Rest,
                                        typename Callable<decltype(Fn)>::Params>;

template <class M> struct FieldOf;
template <class V, class C> struct FieldOf<V C::*> { using Type = V; };

template <class... A> std::string JoinNames(TypeList<A...>) {
    std::string names;
    ((names += (names.empty() ? "" : ", ") + TypeName<A>()), ...);
    return names;
}

template <auto Fn, bool IsMethod> std::string Signature() {
    return "(" + JoinNames(ScriptParams<Fn, IsMethod>{}) + ") -> " +
           TypeName<typename Callable<decltype(Fn)>::Result>();
}

template <auto Value> std::string ConstantText() {
    if constexpr (std::is_enum_v<decltype(Value)>)
        return std::to_string(static_cast<std::underlying_type_t<decltype(Value)>>(Value));
    else
        return std::to_string(Value);
}

// The property types engine tools can show and edit as plain values.
template <class V>
inline constexpr bool kPlainField =
    std::is_arithmetic_v<V> || std::is_same_v<V, std::string> || std::is_same_v<V, glm::vec2> ||
    std::is_same_v<V, glm::vec3> || std::is_same_v<V, glm::vec4> || std::is_same_v<V, glm::quat>;

template <class V> FieldValue ToFieldValue(const V& value) {
    if constexpr (std::is_same_v<V, bool>)
        return value;
    else if constexpr (std::is_arithmetic_v<V>)
        return static_cast<double>(value);
    else
        return value;
}

// False, leaving `out` alone, for a value of another kind.
template <class V> bool FromFieldValue(const FieldValue& value, V& out) {
    if constexpr (std::is_same_v<V, bool>) {
        if (const bool* b = std::get_if<bool>(&value))
            return out = *b, true;
    } else if constexpr (std::is_integral_v<V>) {
        const double* d = std::get_if<double>(&value);
        if (!d || !(*d >= static_cast<double>(std::numeric_limits<V>::lowest()) &&
                    *d <= static_cast<double>(std::numeric_limits<V>::max())))
            return false;
        return out = static_cast<V>(std::llround(*d)), true;
    } else if constexpr (std::is_arithmetic_v<V>) {
        if (const double* d = std::get_if<double>(&value))
            return out = static_cast<V>(*d), true;
    } else if (const V* v = std::get_if<V>(&value)) {
        return out = *v, true;
    }
    return false;
}

// Reports what an accessor called from C++ left pending or threw (`thrown`),
// as a script call would have.
void ReportEngineSideError(const char* thrown = nullptr);

// Runs an accessor for an engine tool; what it throws or leaves pending is
// reported, as a script call's would be.
template <class F> void RunForTool(F&& run) {
    try {
        run();
        ReportEngineSideError();
    } catch (const std::exception& e) {
        ReportEngineSideError(e.what());
    } catch (...) {
        ReportEngineSideError("an engine exception");
    }
}

template <class V> std::string FieldType() {
    return TypeName<V>();
}

template <class V> std::string TsFieldType() {
    return TsTypeName<V>();
}

inline std::string TsNumber() {
    return "number";
}

template <class... A> std::string TsParameters(TypeList<A...>) {
    const std::vector<std::string> types = {TsTypeName<A>()...};
    const std::vector<bool> optional = {IsOptionalArg<std::decay_t<A>>::value...};
    std::string params;
    for (std::size_t i = 0; i < types.size(); ++i)
        params += (i > 0 ? ", arg" : "arg") + std::to_string(i + 1) + (optional[i] ? "?: " : ": ") +
                  types[i];
    return params;
}

template <auto Fn, bool IsMethod> std::string TsSignature() {
    return "(" + TsParameters(ScriptParams<Fn, IsMethod>{}) + ") => " +
           TsTypeName<typename Callable<decltype(Fn)>::Result>();
}

} // namespace detail

template <class T> class ScriptClass final : public ScriptClassBase {
  public:
    ScriptClass(const char* name, std::initializer_list<Member> members,
                const ClassOptions<T>& options = ClassOptions<T>())
        : ScriptClass(name, std::vector<Member>(members), options) {}

    // For tables partly generated, e.g. one entry per component type.
    ScriptClass(const char* name, std::vector<Member> members,
                const ClassOptions<T>& options = ClassOptions<T>())
        : ScriptClassBase(Describe(name, options), std::move(members)), lookup(options.lookup),
          releaseTyped(options.release), createTyped(options.create), holdTyped(options.hold),
          globalTyped(options.global) {
        if (instance)
            FailDeclaredTwice(name);
        instance = this;
    }

    // The class's script name, or how error messages name T otherwise.
    static std::string ScriptName() {
        return instance ? std::string(instance->Name()) : NameOfType(typeid(T));
    }
    static const ScriptClass* Declared() { return instance; }
    static std::string TsScriptName() { return TsNameOfType(typeid(T)); }

    // ---- Table entries -------------------------------------------------

    // A field read and written in place.
    template <auto Field> static Member Property(const char* name) {
        static_assert(std::is_member_object_pointer_v<decltype(Field)>,
                      "Property<F> binds a field; use Property<Get, Set> for accessors");
        using V = typename detail::FieldOf<decltype(Field)>::Type;
        Member member{name, MemberKind::Property,  &GetField<Field>, &SetField<Field>,
                      0,    &detail::FieldType<V>, nullptr,          &detail::TsFieldType<V>};
        if constexpr (detail::kPlainField<std::remove_const_t<V>>) {
            member.access.get = [](void* object) {
                return detail::ToFieldValue(static_cast<T*>(object)->*Field);
            };
            if constexpr (!std::is_const_v<V>)
                member.access.set = [](void* object, const FieldValue& value) {
                    detail::FromFieldValue(value, static_cast<T*>(object)->*Field);
                };
            member.access.integral = std::is_integral_v<V> && !std::is_same_v<V, bool>;
        }
        return member;
    }

    // A field whose writes are checked first: `Check(const V&)` returns null for a value the
    // field can hold, else what it must be ("a number >= 0"). A refused value is a script
    // error naming the member and the value, and the field keeps what it held.
    template <auto Field, auto Check> static Member CheckedProperty(const char* name) {
        using V = typename detail::FieldOf<decltype(Field)>::Type;
        static_assert(std::is_invocable_r_v<const char*, decltype(Check), const V&>,
                      "Check takes the value and returns null or what it must be");
        Member member = Property<Field>(name);
        member.setter = &SetCheckedField<Field, Check>;
        if constexpr (detail::kPlainField<V>)
            member.access.set = [](void* object, const FieldValue& value) {
                V converted{};
                if (!detail::FromFieldValue(value, converted))
                    return;
                if (const char* expected = Check(converted)) {
                    const std::string text = std::string("the value must be ") + expected;
                    detail::ReportEngineSideError(text.c_str());
                    return;
                }
                static_cast<T*>(object)->*Field = converted;
            };
        return member;
    }

    // Accessor functions: `V Get(T&)` or `V T::Get() const`, and
    // `void Set(T&, V)` or `void T::Set(V)`; a null setter ignores writes.
    template <auto Getter, auto Setter> static Member Property(const char* name) {
        using V = std::decay_t<typename detail::Callable<decltype(Getter)>::Result>;
        Member member{name, MemberKind::Property,  &GetVia<Getter>, &SetVia<Setter>,
                      0,    &detail::FieldType<V>, nullptr,         &detail::TsFieldType<V>};
        if constexpr (detail::kPlainField<V>) {
            member.access.get = &ReadVia<Getter, V>;
            if constexpr (!std::is_null_pointer_v<decltype(Setter)>)
                member.access.set = &WriteVia<Setter, V>;
            member.access.integral = std::is_integral_v<V> && !std::is_same_v<V, bool>;
        }
        return member;
    }

    // A read-only value on the class object; writes are accepted and ignored.
    template <auto Value> static Member Constant(const char* name) {
        return {name,
                MemberKind::Constant,
                &GetConstant<Value>,
                &IgnoreWrite,
                0,
                &detail::ConstantText<Value>,
                nullptr,
                &detail::TsNumber};
    }

    // A function acting on the object the script calls it on.
    template <auto Fn> static Member Method(const char* name) {
        using Params = detail::ScriptParams<Fn, true>;
        return {name,
                MemberKind::Method,
                &CallMethod<Fn>,
                nullptr,
                Params::kCount,
                &detail::Signature<Fn, true>,
                nullptr,
                &detail::TsSignature<Fn, true>};
    }

    // A function that needs no object; callable on the class object.
    template <auto Fn> static Member Function(const char* name) {
        using Params = detail::ScriptParams<Fn, false>;
        return {name,
                MemberKind::Function,
                &CallFunction<Fn>,
                nullptr,
                Params::kCount,
                &detail::Signature<Fn, false>,
                nullptr,
                &detail::TsSignature<Fn, false>};
    }

    // ---- Wrapping ------------------------------------------------------

    // A new wrapper, or null for a null pointer or an unregistered class.
    static bool Wrap(JSContext* cx, T* object, JS::MutableHandleValue out) {
        if (!object || !instance) {
            out.setNull();
            return true;
        }
        if (instance->lookup) {
            JS_ReportErrorASCII(cx, "Error, %s objects are made from an index, not a pointer.",
                                instance->Name());
            return false;
        }
        if (!Finish(cx, JS::PrivateValue(object), false, out))
            return false;
        if (out.isObject() && instance->holdTyped && instance->holdTyped(object))
            JS::SetReservedSlot(&out.toObject(), kOwnedSlot, JS::TrueValue());
        return true;
    }

    // A new wrapper that owns `object` until the object is handed over.
    static bool WrapOwned(JSContext* cx, T* object, JS::MutableHandleValue out) {
        if (!object || !instance || !instance->releaseTyped || instance->lookup) {
            JS_ReportErrorASCII(cx, "Error, %s objects cannot own what they wrap.",
                                ScriptName().c_str());
            return false;
        }
        return Finish(cx, JS::PrivateValue(object), true, out);
    }

    static bool WrapIndex(JSContext* cx, const IndexedRef<T>& ref, JS::MutableHandleValue out) {
        if (!instance) {
            out.setNull();
            return true;
        }
        if (!instance->lookup) {
            JS_ReportErrorASCII(cx, "Error, %s objects are made from a pointer, not an index.",
                                instance->Name());
            return false;
        }
        if (!Finish(cx, JS::NumberValue(ref.index), false, out) || out.isNull())
            return !JS_IsExceptionPending(cx);
        JSObject* obj = &out.toObject();
        JS::SetReservedSlot(obj, kGenerationSlot, JS::NumberValue(ref.generation));
        JS::SetReservedSlot(obj, kEraSlot, JS::NumberValue(static_cast<double>(ref.era)));
        return true;
    }

    // The live engine object behind a wrapper of this class, or of a class
    // deriving from T. False without an exception for a value of another
    // kind or a wrapper whose object is gone. With `take` the wrapper must
    // own the object and gives it up.
    static bool Unwrap(JSContext* cx, JS::HandleValue value, T*& out, bool take = false) {
        if (!take) {
            if (JSObject* obj = OwnObject(value)) {
                if ((out = Resolve(obj)))
                    return true;
            }
        }
        out = static_cast<T*>(UnwrapAs(cx, value, typeid(T), take));
        return out != nullptr;
    }

    static bool UnwrapIndex(JSContext*, JS::HandleValue value, IndexedRef<T>& out) {
        JSObject* obj = OwnObject(value);
        if (!obj || !instance->lookup || !JS::GetReservedSlot(obj, kPrivateSlot).isNumber())
            return false;
        out = RefOf(obj);
        return true;
    }

  private:
    static ClassDescription Describe(const char* name, const ClassOptions<T>& options) {
        ClassDescription d{};
        d.name = name;
        d.reservedSlots = options.reservedSlots;
        if (options.release || options.hold)
            d.reservedSlots = std::max(d.reservedSlots, kOwnedSlot + 1);
        if (options.lookup)
            d.reservedSlots = std::max(d.reservedSlots, kIndexSlots);
        d.type = &typeid(T);
        d.byIndex = options.lookup != nullptr;
        d.indexName = options.indexName;
        d.goneText = options.goneText;
        d.baseType = options.baseType;
        d.baseName = options.baseName;
        d.upcast = options.upcast;
        d.resolve = [](JSObject* obj) -> void* { return Resolve(obj); };
        d.release = options.release ? &ReleaseErased : nullptr;
        d.create = options.create && options.release ? &CreateErased : nullptr;
        d.hold = options.hold && options.release ? &HoldErased : nullptr;
        d.registration = &RegisterDeclared;
        d.globalName = options.globalName;
        d.global =
            options.global && options.globalName && !options.lookup ? &GlobalErased : nullptr;
        return d;
    }

    static void ReleaseErased(void* object) {
        if (instance && instance->releaseTyped)
            instance->releaseTyped(static_cast<T*>(object));
    }

    static void* GlobalErased() {
        return instance && instance->globalTyped ? instance->globalTyped() : nullptr;
    }

    static void* CreateErased() {
        return instance && instance->createTyped ? instance->createTyped() : nullptr;
    }

    static bool HoldErased(void* object) {
        return instance && instance->holdTyped && instance->holdTyped(static_cast<T*>(object));
    }

    static void RegisterDeclared() {
        if (instance)
            instance->RegisterWithHost();
    }

    static bool Finish(JSContext* cx, const JS::Value& slot, bool owned,
                       JS::MutableHandleValue out) {
        JSObject* obj = instance->NewObject(cx);
        if (!obj) {
            out.setNull();
            return !JS_IsExceptionPending(cx);
        }
        JS::SetReservedSlot(obj, kPrivateSlot, slot);
        if (owned)
            JS::SetReservedSlot(obj, kOwnedSlot, JS::TrueValue());
        out.setObject(*obj);
        return true;
    }

    static JSObject* OwnObject(const JS::Value& value) {
        if (!instance || !value.isObject())
            return nullptr;
        JSObject* obj = &value.toObject();
        return JS::GetClass(obj) == &instance->clasp ? obj : nullptr;
    }

    // Slots written by WrapIndex only, so each holds a number.
    static IndexedRef<T> RefOf(JSObject* obj) {
        IndexedRef<T> ref;
        ref.index = JS::ToUint32(JS::GetReservedSlot(obj, kPrivateSlot).toNumber());
        ref.generation = JS::ToUint32(JS::GetReservedSlot(obj, kGenerationSlot).toNumber());
        ref.era = static_cast<uint64_t>(JS::GetReservedSlot(obj, kEraSlot).toNumber());
        return ref;
    }

    // Null for the prototype (empty slot) and for objects that are gone.
    static T* Resolve(JSObject* obj) {
        if (!instance->lookup)
            return JS::GetMaybePtrFromReservedSlot<T>(obj, kPrivateSlot);
        return JS::GetReservedSlot(obj, kPrivateSlot).isNumber() ? instance->lookup(RefOf(obj))
                                                                 : nullptr;
    }

    // The object a property or method acts on, or a script error.
    static T* Self(JSContext* cx, const JS::CallArgs& args, JSNative native) {
        if (JSObject* obj = OwnObject(args.thisv())) {
            if (T* self = Resolve(obj))
                return self;
            if (instance->lookup && JS::GetReservedSlot(obj, kPrivateSlot).isNumber()) {
                instance->FailGone(cx, native, obj);
                return nullptr;
            }
        }
        instance->FailNoPrivate(cx, args.thisv(), native);
        return nullptr;
    }

    // Objects handed over leave their script wrapper only once the call is
    // sure to happen, so a refused call leaks nothing and the script keeps them.
    template <class V> static void CommitHandOver(V&) {}
    template <class U> static void CommitHandOver(Taken<U>& taken) {
        if (taken.from)
            Detach(taken.from);
    }

    template <JSNative Native, class V>
    static bool ConvertArg(JSContext* cx, const JS::CallArgs& args, int index, V& out) {
        JS::HandleValue value = args.get(index < 0 ? 0u : static_cast<unsigned>(index));
        if constexpr (IsOptions<V>::value) {
            // The message names the option at fault, not just the argument.
            OptionRefusal why(cx);
            if (Convert<V>::FromScript(cx, value, out, &why))
                return true;
            if (!JS_IsExceptionPending(cx) && !why.option.empty())
                return instance->FailOption(cx, Native, index, why);
        } else if (Convert<V>::FromScript(cx, value, out)) {
            return true;
        }
        if (!JS_IsExceptionPending(cx))
            instance->FailArgument(cx, Native, index, Convert<V>::Name(), value);
        return false;
    }

    template <JSNative Native, class Tuple, size_t... I>
    static bool ConvertArgs(JSContext* cx, const JS::CallArgs& args, Tuple& values,
                            std::index_sequence<I...>) {
        (void)cx, (void)args, (void)values; // unused without arguments
        return (ConvertArg<Native>(cx, args, static_cast<int>(I), std::get<I>(values)) && ...);
    }

    // Converts the arguments, calls, converts the result. `self` is null for
    // static functions.
    template <auto Fn, JSNative Native, bool IsMethod, class... A>
    static bool Invoke(JSContext* cx, JS::CallArgs& args, detail::TypeList<A...>) {
        std::tuple<std::decay_t<A>...> values;
        if (!ConvertArgs<Native>(cx, args, values, std::index_sequence_for<A...>{}))
            return false;
        T* self = nullptr;
        // Converting may have run script (valueOf); find the object only now.
        if constexpr (IsMethod) {
            self = Self(cx, args, Native);
            if (!self)
                return false;
        }
        std::apply([](auto&... v) { (CommitHandOver(v), ...); }, values);
        using R = typename detail::Callable<decltype(Fn)>::Result;
        try {
            auto call = [self](auto&... v) -> decltype(auto) {
                if constexpr (IsMethod)
                    return std::invoke(Fn, *self, v...);
                else
                    return std::invoke(Fn, v...);
            };
            if constexpr (std::is_void_v<R>) {
                std::apply(call, values);
                if (JS_IsExceptionPending(cx))
                    return false;
                args.rval().setUndefined();
                return true;
            } else {
                auto&& result = std::apply(call, values);
                if (JS_IsExceptionPending(cx))
                    return false;
                return Convert<std::decay_t<R>>::ToScript(cx, result, args.rval());
            }
        } catch (const std::exception& e) {
            return instance->FailEngineException(cx, Native, e.what());
        } catch (...) {
            return instance->FailEngineException(cx, Native, "an engine exception");
        }
    }

    template <auto Fn> static bool CallMethod(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        using Params = detail::ScriptParams<Fn, true>;
        if (args.length() < Params::kRequired || args.length() > Params::kCount) {
            instance->WarnArgumentCount(cx, &CallMethod<Fn>, Params::kRequired, Params::kCount,
                                        args.length());
            args.rval().setUndefined();
            return true;
        }
        if (!Self(cx, args, &CallMethod<Fn>))
            return false;
        return Invoke<Fn, &CallMethod<Fn>, true>(cx, args, Params{});
    }

    template <auto Fn> static bool CallFunction(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        using Params = detail::ScriptParams<Fn, false>;
        if (args.length() < Params::kRequired || args.length() > Params::kCount) {
            instance->WarnArgumentCount(cx, &CallFunction<Fn>, Params::kRequired, Params::kCount,
                                        args.length());
            args.rval().setUndefined();
            return true;
        }
        return Invoke<Fn, &CallFunction<Fn>, false>(cx, args, Params{});
    }

    template <auto Field> static bool GetField(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        T* self = Self(cx, args, &GetField<Field>);
        if (!self)
            return false;
        using V = typename detail::FieldOf<decltype(Field)>::Type;
        return Convert<V>::ToScript(cx, self->*Field, args.rval());
    }

    template <auto Field> static bool SetField(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        if (!Self(cx, args, &SetField<Field>))
            return false;
        using V = typename detail::FieldOf<decltype(Field)>::Type;
        V value{};
        if (!ConvertArg<&SetField<Field>>(cx, args, -1, value))
            return false;
        T* self = Self(cx, args, &SetField<Field>);
        if (!self)
            return false;
        self->*Field = std::move(value);
        args.rval().setUndefined();
        return true;
    }

    template <auto Field, auto Check>
    static bool SetCheckedField(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        constexpr JSNative native = &SetCheckedField<Field, Check>;
        if (!Self(cx, args, native))
            return false;
        using V = typename detail::FieldOf<decltype(Field)>::Type;
        V value{};
        if (!ConvertArg<native>(cx, args, -1, value))
            return false;
        if (const char* expected = Check(value))
            return instance->FailArgument(cx, native, -1, expected, args.get(0));
        T* self = Self(cx, args, native);
        if (!self)
            return false;
        self->*Field = std::move(value);
        args.rval().setUndefined();
        return true;
    }

    template <auto Getter> static bool GetVia(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        return Invoke<Getter, &GetVia<Getter>, true>(cx, args, detail::TypeList<>{});
    }

    template <auto Setter> static bool SetVia(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        if (!Self(cx, args, &SetVia<Setter>))
            return false;
        if constexpr (std::is_null_pointer_v<decltype(Setter)>) {
            args.rval().setUndefined();
            return true;
        } else {
            using Params = detail::ScriptParams<Setter, true>;
            static_assert(Params::kCount == 1, "a setter takes exactly one value");
            if (!Invoke<Setter, &SetVia<Setter>, true>(cx, args, Params{}))
                return false;
            args.rval().setUndefined();
            return true;
        }
    }

    // Accessors called from engine tools: the same functions scripts reach,
    // with what they throw or report turned into a reported script error.
    template <auto Getter, class V> static FieldValue ReadVia(void* object) {
        FieldValue value;
        detail::RunForTool([&] {
            value = detail::ToFieldValue<V>(std::invoke(Getter, *static_cast<T*>(object)));
        });
        return value;
    }
    template <auto Setter, class V> static void WriteVia(void* object, const FieldValue& value) {
        V converted{};
        if (detail::FromFieldValue(value, converted))
            detail::RunForTool([&] { std::invoke(Setter, *static_cast<T*>(object), converted); });
    }

    template <auto Value> static bool GetConstant(JSContext* cx, unsigned argc, JS::Value* vp) {
        JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
        return Convert<decltype(Value)>::ToScript(cx, Value, args.rval());
    }

    static bool IgnoreWrite(JSContext*, unsigned argc, JS::Value* vp) {
        JS::CallArgsFromVp(argc, vp).rval().setUndefined();
        return true;
    }

    T* (*lookup)(const IndexedRef<T>&);
    void (*releaseTyped)(T*);
    T* (*createTyped)();
    bool (*holdTyped)(T*);
    T* (*globalTyped)();
    static inline ScriptClass* instance = nullptr;
};

} // namespace script
