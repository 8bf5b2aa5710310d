#include "graphics/MouseClickRayScript.h"

#include "script/ScriptClass.h"

namespace {

using S = script::ScriptClass<MouseRay>;
using Point = script::Convert<glm::vec3>;

constexpr unsigned kStartSlot = 0;
constexpr unsigned kEndSlot = 1;

const S& RayClass();

// A ray object made by the engine; not the class object, whose slots are empty.
JSObject* RayObject(const JS::Value& value) {
    if (!value.isObject() || JS::GetClass(&value.toObject()) != RayClass().Clasp())
        return nullptr;
    JSObject* obj = &value.toObject();
    return JS::GetReservedSlot(obj, kStartSlot).isUndefined() ? nullptr : obj;
}

template <unsigned Slot> bool GetPoint(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    JSObject* ray = RayObject(args.thisv());
    if (!ray)
        return RayClass().FailNoPrivate(cx, args.thisv(), &GetPoint<Slot>);
    args.rval().set(JS::GetReservedSlot(ray, Slot));
    return true;
}

// Stores a fresh array of the three numbers, never the script's own value.
template <unsigned Slot> bool SetPoint(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    if (!RayObject(args.thisv()))
        return RayClass().FailNoPrivate(cx, args.thisv(), &SetPoint<Slot>);
    glm::vec3 point;
    if (!Point::FromScript(cx, args.get(0), point)) {
        if (!JS_IsExceptionPending(cx))
            RayClass().FailArgument(cx, &SetPoint<Slot>, -1, Point::Name(), args.get(0));
        return false;
    }
    JS::RootedValue stored(cx);
    if (!Point::ToScript(cx, point, &stored))
        return false;
    // Converting may have run script; look the object up again.
    JSObject* ray = RayObject(args.thisv());
    if (!ray)
        return RayClass().FailNoPrivate(cx, args.thisv(), &SetPoint<Slot>);
    JS::SetReservedSlot(ray, Slot, stored);
    args.rval().setUndefined();
    return true;
}

template <unsigned Slot> script::Member PointProperty(const char* name) {
    return {name, script::MemberKind::Property, &GetPoint<Slot>, &SetPoint<Slot>,
            0,    &script::TypeName<glm::vec3>, nullptr,         &script::TsTypeName<glm::vec3>};
}

script::ClassOptions<MouseRay> RayOptions() {
    script::ClassOptions<MouseRay> options;
    options.reservedSlots = 2;
    return options;
}

const S mouseClickRayClass("MouseClickRay",
                           {PointProperty<kStartSlot>("startPoint"),
                            PointProperty<kEndSlot>("endPoint")},
                           RayOptions());

const S& RayClass() {
    return mouseClickRayClass;
}

} // namespace

namespace script {

bool Convert<MouseRay>::ToScript(JSContext* cx, const MouseRay& value, JS::MutableHandleValue out) {
    JS::RootedObject obj(cx, RayClass().NewObject(cx));
    JS::RootedValue start(cx), end(cx);
    if (!obj || !Point::ToScript(cx, value.start, &start) ||
        !Point::ToScript(cx, value.end, &end)) {
        out.setNull();
        return !JS_IsExceptionPending(cx);
    }
    JS::SetReservedSlot(obj, kStartSlot, start);
    JS::SetReservedSlot(obj, kEndSlot, end);
    out.setObject(*obj);
    return true;
}

} // namespace script
