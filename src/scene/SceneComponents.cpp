// The component table scene files are written and read with. It calls the
// binding tables' script accessors, so it includes the script engine as
// binding files do.

#include "scene/SceneComponents.h"

#include <memory>

#include "objects/ComponentScript.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
#include "script/ScriptJson.h"

namespace scene {
namespace {

using Kind = SavedProperty::Kind;
using WrapFunction = bool (*)(JSContext*, const GameObject&, JS::MutableHandleValue);

std::vector<WrapFunction>& Wrappers() {
    static std::vector<WrapFunction> wrappers;
    return wrappers;
}

constexpr const char kAssetSuffix[] = " (anything else: null)";

// What a property holds, from its table entry; false for what a file does not
// keep (callbacks, read-only values, objects no file can name).
bool Classify(const std::type_info& type, void* scratch, const script::Member& member,
              SavedProperty& out) {
    out.name = member.name;
    out.member = &member;
    if ((out.custom = script::SavedPropertyOf(type, out.name))) {
        out.kind = Kind::Custom;
        return true;
    }
    const script::FieldAccess& access = member.access;
    if (access.get && access.set) {
        out.access = access;
        const script::FieldValue value = access.get(scratch);
        static constexpr Kind kinds[] = {Kind::Number, Kind::Number, Kind::Boolean, Kind::Text,
                                         Kind::Vec2,   Kind::Vec3,   Kind::Vec4,    Kind::Quat};
        if (value.index() == 0)
            return false;
        out.kind = kinds[value.index()];
        if (out.kind == Kind::Number && !access.integral) {
            // A float reads a tenth back as the float nearest to it.
            access.set(scratch, 0.1);
            const script::FieldValue back = access.get(scratch);
            out.singlePrecision = std::get<double>(back) == static_cast<double>(0.1f);
            access.set(scratch, value);
        }
        return true;
    }
    if (!member.setter || member.kind != script::MemberKind::Property)
        return false;
    const std::string described = member.describe();
    if (described == "GameObject" || described == "GameObject or null") {
        out.kind = Kind::Reference;
        return true;
    }
    if (described == script::Convert<ScriptData>::Name()) {
        out.kind = Kind::Data;
        return true;
    }
    const std::size_t suffix = described.size() - (sizeof kAssetSuffix - 1);
    if (described.size() > sizeof kAssetSuffix &&
        described.compare(suffix, std::string::npos, kAssetSuffix) == 0) {
        out.kind = Kind::Asset;
        out.assetClass = described.substr(0, suffix);
        return true;
    }
    return false;
}

template <class T> void* Scratch() {
    static T scratch;
    return &scratch;
}

// Calls a table's accessor on `self`: the getter with no argument, the setter
// with `argument`. The result is in `out`.
bool CallAccessor(JSContext* cx, JSNative native, JS::HandleValue self, JS::HandleValue argument,
                  unsigned argc, JS::MutableHandleValue out) {
    JS::RootedValueArray<3> vp(cx);
    vp[0].set(self); // where the result goes; the accessors never read their callee
    vp[1].set(self);
    vp[2].set(argument);
    const bool ok = native(cx, argc, vp.begin());
    out.set(vp[0]);
    return ok;
}

// Runs `work(host, cx)` in the script host's realm; without a script host there is
// nothing to read or write, and it does nothing.
template <class Work> void InHostRealm(Work&& work) {
    ScriptHost& host = ScriptHost::Instance();
    JSContext* cx = host.GetContext();
    if (!cx)
        return;
    JSAutoRealm realm(cx, host.GetGlobal());
    work(host, cx);
}

} // namespace

const std::vector<ComponentKind>& ComponentKinds() {
    static const std::vector<ComponentKind> kinds = [] {
        std::vector<ComponentKind> list;
        ForEachComponentType([&](auto tag) {
            using T = typename decltype(tag)::Type;
            ComponentKind kind{list.size(),
                               ComponentTypeName<T>(),
                               &typeid(T),
                               [](const GameObject& obj) -> void* {
                                   return ObjectManager::HasComponent<T>(obj)
                                              ? ObjectManager::GetComponent<T>(obj)
                                              : nullptr;
                               },
                               [](const GameObject& obj) -> void* {
                                   // A slot keeps what its last owner left in the fields OnAdd
                                   // does not set, and a file leaves out values at their
                                   // default: a new component starts as one never used.
                                   if (!ObjectManager::HasComponent<T>(obj))
                                       ComponentFactory<T>::Instance().ResetComponentAt(obj.id);
                                   return ObjectManager::AddComponent<T>(obj);
                               },
                               Scratch<T>(),
                               {}};
            if (const script::ScriptClassBase* cls = script::ScriptClassBase::FromType(typeid(T)))
                for (const script::Member& member : cls->Members()) {
                    SavedProperty property;
                    if (member.kind == script::MemberKind::Property &&
                        Classify(typeid(T), kind.scratch, member, property))
                        kind.properties.push_back(std::move(property));
                }
            Wrappers().push_back(
                [](JSContext* cx, const GameObject& obj, JS::MutableHandleValue out) {
                    return script::ScriptClass<T>::WrapIndex(cx, ComponentRef<T>(obj), out);
                });
            list.push_back(std::move(kind));
        });
        return list;
    }();
    return kinds;
}

const ComponentKind* ComponentKindNamed(std::string_view name) {
    for (const ComponentKind& kind : ComponentKinds())
        if (kind.name == name)
            return &kind;
    return nullptr;
}

const script::AssetKind* AssetKindFor(const SavedProperty& property) {
    for (const script::AssetKind& asset : script::AssetKinds()) {
        const script::ScriptClassBase* cls = script::ScriptClassBase::FromType(*asset.type);
        if (cls && property.assetClass == cls->Name())
            return &asset;
    }
    return nullptr;
}

void ReadAccessorProperty(const ComponentKind& kind, const SavedProperty& property,
                          const GameObject& owner, const IndexOf& indexOf, Json& out,
                          const void*& asset, const script::AssetKind* assets) {
    out = nullptr;
    asset = nullptr;
    InHostRealm([&](ScriptHost&, JSContext* cx) {
        JS::RootedValue self(cx);
        JS::RootedValue value(cx);
        const auto& member = *static_cast<const script::Member*>(property.member);
        if (!Wrappers()[kind.index](cx, owner, &self) ||
            !CallAccessor(cx, member.native, self, JS::UndefinedHandleValue, 0, &value)) {
            JS_ClearPendingException(cx);
            return;
        }
        switch (property.kind) {
        case Kind::Reference: {
            GameObject other;
            if (script::Convert<GameObject>::FromScript(cx, value, other))
                if (const std::optional<std::size_t> index = indexOf(other))
                    out = *index;
            break;
        }
        case Kind::Data:
            if (!script::ValueToJson(cx, value, out, indexOf))
                out = value.isNull() ? Json(nullptr) : Json::object();
            break;
        case Kind::Asset:
            if (assets)
                asset = script::ScriptClassBase::UnwrapAs(cx, value, *assets->type, false);
            break;
        default:
            break;
        }
        JS_ClearPendingException(cx);
    });
}

void WriteAccessorProperty(const ComponentKind& kind, const SavedProperty& property,
                           const GameObject& owner, const Json& value, void* asset,
                           const ObjectAt& objectAt, const script::AssetKind* assets) {
    InHostRealm([&](ScriptHost& host, JSContext* cx) {
        JS::RootedValue self(cx);
        JS::RootedValue argument(cx);
        bool ok = Wrappers()[kind.index](cx, owner, &self);
        if (ok && property.kind == Kind::Reference && !value.is_null())
            ok = script::Convert<GameObject>::ToScript(cx, objectAt(value.get<std::size_t>()),
                                                       &argument);
        else if (ok && property.kind == Kind::Data)
            ok = script::JsonToValue(cx, value, &argument, objectAt);
        else if (ok && property.kind == Kind::Asset && asset) {
            const script::ScriptClassBase* cls =
                assets ? script::ScriptClassBase::FromType(*assets->type) : nullptr;
            JSObject* wrapper = cls ? cls->WrapPointer(cx, asset) : nullptr;
            argument.setObjectOrNull(wrapper);
        }
        const auto& member = *static_cast<const script::Member*>(property.member);
        JS::RootedValue ignored(cx);
        if (!ok || !CallAccessor(cx, member.setter, self, argument, 1, &ignored))
            host.ReportPendingException("Scene: a property could not be set: ");
    });
}

Json DataToJson(const ScriptData& data, const IndexOf& indexOf) {
    Json out(nullptr);
    InHostRealm([&](ScriptHost&, JSContext* cx) {
        JS::RootedValue value(cx);
        if (!script::Convert<ScriptData>::ToScript(cx, data, &value) ||
            !script::ValueToJson(cx, value, out, indexOf))
            out = nullptr;
        JS_ClearPendingException(cx);
    });
    return out;
}

ScriptData DataFromJson(const Json& json, const ObjectAt& objectAt) {
    ScriptData data;
    InHostRealm([&](ScriptHost&, JSContext* cx) {
        JS::RootedValue value(cx);
        if (!script::JsonToValue(cx, json, &value, objectAt) ||
            !script::Convert<ScriptData>::FromScript(cx, value, data))
            JS_ClearPendingException(cx);
    });
    return data;
}

bool ValueFits(const ComponentKind& kind, const SavedProperty& property,
               const script::FieldValue& value) {
    // Put back after: the scratch component's values are the defaults a file
    // leaves out.
    const script::FieldValue before = property.access.get(kind.scratch);
    property.access.set(kind.scratch, value);
    const bool fits = property.access.get(kind.scratch) == value;
    property.access.set(kind.scratch, before);
    return fits;
}

} // namespace scene
