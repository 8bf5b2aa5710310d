#include "input/Gamepads.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>

#include <js/CallAndConstruct.h>
#include <jsapi.h>

#include "input/Gamepad.h"
#include "input/GamepadEvent.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

// The gamepad API as browsers have it: navigator.getGamepads(), the pads and their
// buttons, and the connect and disconnect events with addEventListener.

namespace {

// Every wrapper holds what it shows: a pad a script keeps outlives its
// unplugging, and a button or an event keeps its pad (or itself) alive.
Gamepad& HolderOf(Gamepad& pad) {
    return pad;
}
Gamepad& HolderOf(Gamepad::Button& button) {
    return *button.owner;
}
GamepadEvent& HolderOf(GamepadEvent& event) {
    return event;
}

template <class T> script::ClassOptions<T> Held() {
    script::ClassOptions<T> options;
    options.hold = [](T* object) {
        HolderOf(*object).AddHolder();
        return true;
    };
    options.release = [](T* object) { HolderOf(*object).RemoveHolder(); };
    return options;
}

// ---- Gamepad -----------------------------------------------------------------

std::string Mapping(const Gamepad&) {
    return "standard";
}

std::array<Gamepad::Button*, Gamepad::kButtonCount> Buttons(Gamepad& pad) {
    std::array<Gamepad::Button*, Gamepad::kButtonCount> list{};
    for (std::size_t i = 0; i < Gamepad::kButtonCount; ++i)
        list[i] = pad.GetButton(i);
    return list;
}

std::array<double, Gamepad::kAxisCount> Axes(const Gamepad& pad) {
    return pad.GetAxes();
}

using P = script::ScriptClass<Gamepad>;
const P gamepadClass(
    "Gamepad",
    {
        P::Property<&Gamepad::GetId, nullptr>("id").Noted("the pad's name as SDL knows it"),
        P::Property<&Gamepad::GetIndex, nullptr>("index").Noted(
            "its slot in navigator.getGamepads(), 0 to 3"),
        P::Property<&Gamepad::IsConnected, nullptr>("connected")
            .Noted("false from the frame it was unplugged on; it then keeps its last state"),
        P::Property<&Mapping, nullptr>("mapping").Noted(
            "always \"standard\": buttons and axes are in the standard layout"),
        P::Property<&Gamepad::GetTimestamp, nullptr>("timestamp")
            .Noted("game time in milliseconds (the clock of requestAnimationFrame) of the frame "
                   "in which the pad connected, last changed or went"),
        P::Property<&Buttons, nullptr>("buttons").Noted(
            "0 A, 1 B, 2 X, 3 Y, 4 LB, 5 RB, 6 LT, 7 RT, 8 back, 9 start, 10 left stick, "
            "11 right stick, 12-15 d-pad up, down, left, right, 16 guide"),
        P::Property<&Axes, nullptr>("axes").Noted(
            "left x, left y, right x, right y, each -1..1 with y positive downwards; within 0.1 "
            "of the centre a stick reads 0"),
    },
    Held<Gamepad>());

// ---- GamepadButton -------------------------------------------------------------

bool Pressed(const Gamepad::Button& button) {
    return button.pressed;
}
bool Touched(const Gamepad::Button& button) {
    return button.touched;
}
double Value(const Gamepad::Button& button) {
    return button.value;
}

using B = script::ScriptClass<Gamepad::Button>;
const B buttonClass(
    "GamepadButton",
    {
        B::Property<&Pressed, nullptr>("pressed").Noted(
            "a trigger is pressed past 0.1 of its travel"),
        B::Property<&Touched, nullptr>("touched").Noted("pressed, or a trigger off its rest"),
        B::Property<&Value, nullptr>("value").Noted(
            "0 or 1; the triggers 0..1 by how far they are pulled"),
    },
    Held<Gamepad::Button>());

// ---- GamepadEvent --------------------------------------------------------------

using E = script::ScriptClass<GamepadEvent>;
const E eventClass("GamepadEvent",
                   {
                       E::Property<&GamepadEvent::GetType, nullptr>("type").Noted(
                           "\"gamepadconnected\" or \"gamepaddisconnected\""),
                       E::Property<&GamepadEvent::GetGamepad, nullptr>("gamepad"),
                   },
                   Held<GamepadEvent>());

// ---- navigator -----------------------------------------------------------------

std::array<std::optional<Gamepad*>, Gamepads::kSlotCount> GetGamepads() {
    std::array<std::optional<Gamepad*>, Gamepads::kSlotCount> list{};
    for (int slot = 0; slot < Gamepads::kSlotCount; ++slot)
        if (Gamepad* pad = Gamepads::Instance().Get(slot))
            list[static_cast<std::size_t>(slot)] = pad;
    return list;
}

using N = script::ScriptClass<Gamepads>;
const N navigatorClass("navigator",
                       {
                           N::Function<&GetGamepads>("getGamepads")
                               .Noted("the four pad slots, null where no pad is plugged in; a "
                                      "fifth pad waits until a slot is free"),
                       });

// ---- addEventListener and removeEventListener ---------------------------------

// Functions on the global object itself, where browsers have them; the class
// tables cannot put them there, so their arguments are taken here.
bool TakeListener(JSContext* cx, const JS::CallArgs& args, const char* name,
                  Gamepads::EventType& type, ScriptCallback& listener) {
    std::string typeName;
    if (!script::Convert<std::string>::FromScript(cx, args.get(0), typeName)) {
        if (!JS_IsExceptionPending(cx))
            JS_ReportErrorUTF8(cx, "%s: argument 1 (the event type) must be a string, got %s", name,
                               script::DescribeValue(cx, args.get(0)).c_str());
        return false;
    }
    if (!Gamepads::ParseEventType(typeName, type)) {
        JS_ReportErrorUTF8(cx,
                           "%s: the engine sends no \"%s\" events; it sends \"gamepadconnected\" "
                           "and \"gamepaddisconnected\"",
                           name, typeName.c_str());
        return false;
    }
    if (!args.get(1).isObject() || !JS::IsCallable(&args.get(1).toObject())) {
        JS_ReportErrorUTF8(cx, "%s: argument 2 (the listener) must be a function, got %s", name,
                           script::DescribeValue(cx, args.get(1)).c_str());
        return false;
    }
    // useCapture false means what leaving it out means; options objects ({once})
    // would be silently ignored, which is worse than refusing them.
    if (args.length() > 2 && !args[2].isUndefined() && !args[2].isFalse()) {
        JS_ReportErrorUTF8(cx, "%s: argument 3 (options) is not supported, got %s", name,
                           script::DescribeValue(cx, args[2]).c_str());
        return false;
    }
    return script::Convert<ScriptCallback>::FromScript(cx, args.get(1), listener);
}

bool AddEventListener(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Gamepads::EventType type;
    ScriptCallback listener;
    if (!TakeListener(cx, args, "addEventListener", type, listener))
        return false;
    // Already listening is no error; out of memory is.
    if (!Gamepads::Instance().AddListener(type, listener) && JS_IsExceptionPending(cx))
        return false;
    args.rval().setUndefined();
    return true;
}

bool RemoveEventListener(JSContext* cx, unsigned argc, JS::Value* vp) {
    JS::CallArgs args = JS::CallArgsFromVp(argc, vp);
    Gamepads::EventType type;
    ScriptCallback listener;
    if (!TakeListener(cx, args, "removeEventListener", type, listener))
        return false;
    Gamepads::Instance().RemoveListener(type, listener);
    if (JS_IsExceptionPending(cx))
        return false;
    args.rval().setUndefined();
    return true;
}

constexpr const char* kListenerType =
    "(type: \"gamepadconnected\" | \"gamepaddisconnected\", listener: (event: GamepadEvent) => "
    "void, useCapture?: false): void;";

const bool listenersDeclared = [] {
    static const std::string addDeclaration =
        std::string("declare function addEventListener") + kListenerType;
    static const std::string removeDeclaration =
        std::string("declare function removeEventListener") + kListenerType;
    ScriptHost::AddGlobalFunction(
        {"addEventListener", "2: type, function",
         "calls the function with a `GamepadEvent` whenever a pad is plugged in "
         "(\"gamepadconnected\") or unplugged (\"gamepaddisconnected\"), from the frame loop; a "
         "function already listening to that type is not added twice",
         addDeclaration.c_str()},
        &AddEventListener, 2);
    ScriptHost::AddGlobalFunction({"removeEventListener", "2: type, function",
                                   "stops the function added with `addEventListener` for that "
                                   "type; one that is not listening is ignored",
                                   removeDeclaration.c_str()},
                                  &RemoveEventListener, 2);
    return true;
}();

} // namespace
