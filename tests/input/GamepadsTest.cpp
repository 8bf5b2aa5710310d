// Pads as scripts see them, driven by SDL's virtual joysticks: they take the same
// path through SDL's controller layer as a pad on a USB port, and need no hardware.
#include <string>

#include <SDL.h>
#include <imgui.h>

#include "input/Gamepad.h"
#include "input/GamepadNavigation.h"
#include "input/Gamepads.h"
#include "script/ScriptTestSupport.h"

namespace {

// A pad SDL maps by itself: its buttons and axes are numbered as SDL's own.
class VirtualPad {
  public:
    VirtualPad() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Test pad";
        const int device = SDL_JoystickAttachVirtualEx(&desc);
        joystick = device >= 0 ? SDL_JoystickOpen(device) : nullptr;
        // Axes start centred, which for a trigger is half pulled.
        Axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
        Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    }
    ~VirtualPad() { Unplug(); }
    bool Plugged() const { return joystick != nullptr; }
    void Button(SDL_GameControllerButton button, bool down) {
        SDL_JoystickSetVirtualButton(joystick, button, down ? 1 : 0);
    }
    void Axis(SDL_GameControllerAxis axis, int value) {
        SDL_JoystickSetVirtualAxis(joystick, axis, static_cast<Sint16>(value));
    }
    void Unplug() {
        if (!joystick)
            return;
        const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
        SDL_JoystickClose(joystick);
        joystick = nullptr;
        for (int device = 0; device < SDL_NumJoysticks(); ++device)
            if (SDL_JoystickGetDeviceInstanceID(device) == id)
                SDL_JoystickDetachVirtual(device);
    }

  private:
    SDL_Joystick* joystick = nullptr;
};

class GamepadScripts : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        // Virtual pads need no devices: a failure here is a fault, not a machine without pads.
        ASSERT_TRUE(pads.Start()) << SDL_GetError();
        Frame();
    }
    void TearDown() override {
        pads.ClearListeners();
        Frame();
    }
    void Frame() { pads.Update(time += 16.0); }

    Gamepads& pads = Gamepads::Instance();
    double time = 1000.0;
};

TEST_F(GamepadScripts, MisuseIsAClearErrorAndAPadComesIsReadAndGoesWhileAScriptHoldsIt) {
    // Misuse is a clear error and changes nothing.
    for (const auto& [call, message] : std::initializer_list<std::pair<const char*, const char*>>{
             {"addEventListener('gamepadconnected', 5)",
              "addEventListener: argument 2 (the listener) must be a function, got a number"},
             {"addEventListener('gamepadconected', () => 0)",
              "addEventListener: the engine sends no \"gamepadconected\" events"},
             {"removeEventListener(() => 0)",
              "removeEventListener: argument 1 (the event type) must be a string, got a function"},
             {"addEventListener('gamepadconnected', () => 0, {once: true})",
              "addEventListener: argument 3 (options) is not supported, got an object"},
             {"Gamepad.connected", "Private data could not be retrieved"},
         }) {
        EXPECT_NE(ErrorOf(call).find(message), std::string::npos) << call << "\n"
                                                                  << host().GetLastError();
    }
    EXPECT_EQ(pads.GetListenerCount(), 0u);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("navigator.getGamepads(0)"), "undefined");
    EXPECT_NE(testing::internal::GetCapturedStderr().find(
                  "warning: navigator.getGamepads takes 0 arguments, was called with 1"),
              std::string::npos);

    ASSERT_EQ(Eval(R"(
        var log = [], held = null;
        function first(e) {
            log.push(e.type + ' ' + e.gamepad.index + ' ' + e.gamepad.mapping + ' ' +
                     e.gamepad.connected);
            held = held || e.gamepad;
            Promise.resolve().then(() => log.push('job'));
        }
        function removed() { log.push('removed listener ran'); }
        addEventListener('gamepadconnected', first);
        addEventListener('gamepadconnected', first); // once only, as in browsers
        addEventListener('gamepadconnected', () => { throw new Error('listener failed'); });
        addEventListener('gamepadconnected', () => log.push('last'));
        addEventListener('gamepadconnected', removed);
        removeEventListener('gamepadconnected', removed);
        addEventListener('gamepaddisconnected', e => log.push(e.type + ' ' + e.gamepad.connected));
        String(navigator.getGamepads()))"),
              ",,,");

    VirtualPad pad;
    ASSERT_TRUE(pad.Plugged()) << SDL_GetError();
    testing::internal::CaptureStderr();
    Frame();
    const std::string errors = testing::internal::GetCapturedStderr();
    // Each listener is its own call: its jobs run before the next, and one that
    // throws is reported without stopping the others.
    EXPECT_EQ(Eval("log.join(); "), "gamepadconnected 0 standard true,job,last");
    EXPECT_NE(errors.find("listener failed"), std::string::npos) << errors;
    EXPECT_EQ(Eval("var pads = navigator.getGamepads(); "
                   "[pads.length, pads[0].id, pads[1], held.timestamp, held.buttons.length, "
                   "held.axes.length, held.buttons[7].value].join()"),
              "4,Test pad,,1032,17,4,0");

    // A pulled halfway, a stick inside the dead zone, full deflections.
    pad.Button(SDL_CONTROLLER_BUTTON_A, true);
    pad.Button(SDL_CONTROLLER_BUTTON_DPAD_LEFT, true);
    pad.Button(SDL_CONTROLLER_BUTTON_GUIDE, true);
    pad.Axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 3000);
    pad.Axis(SDL_CONTROLLER_AXIS_RIGHTY, 32767);
    Frame();
    const char* const state =
        "var p = navigator.getGamepads()[0], b = p.buttons;"
        "[b[0].pressed, b[0].value, b[1].pressed, b[14].pressed, b[16].pressed, b[12].pressed,"
        " b[7].pressed, b[7].touched, Math.round(b[7].value * 100) / 100, b[6].touched,"
        " p.axes.join(' '), p.timestamp].join()";
    EXPECT_EQ(Eval(state), "true,1,false,true,true,false,true,true,0.5,false,0 0 0 1,1048");
    // Past the dead zone the reading starts again from 0: 0.55 of the way up is
    // halfway, and up is negative.
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
    pad.Axis(SDL_CONTROLLER_AXIS_LEFTY, -18022);
    pad.Axis(SDL_CONTROLLER_AXIS_RIGHTX, -32768);
    pad.Axis(SDL_CONTROLLER_AXIS_RIGHTY, 0);
    Frame();
    EXPECT_EQ(Eval("held.axes.map(a => Math.round(a * 1000) / 1000) + ' ' + held.timestamp"),
              "0,-0.5,-1,0 1064");
    Frame(); // nothing changed: nor does the timestamp
    EXPECT_EQ(Eval("held.timestamp"), "1064");

    // The first pad steers the panels.
    ImGuiContext* previous = ImGui::GetCurrentContext();
    ImGuiContext* context = ImGui::CreateContext();
    ImGuiIO& io = ImGui::GetIO();
    FeedGamepadNavigation(io, pads.FirstConnected());
    EXPECT_EQ(io.NavInputs[ImGuiNavInput_Activate], 1.0f);
    EXPECT_EQ(io.NavInputs[ImGuiNavInput_DpadLeft], 1.0f);
    EXPECT_EQ(io.NavInputs[ImGuiNavInput_Cancel], 0.0f);
    EXPECT_TRUE(io.BackendFlags & ImGuiBackendFlags_HasGamepad);

    pad.Unplug();
    Frame();
    EXPECT_EQ(Eval("log.slice(3).join()"), "gamepaddisconnected false");
    EXPECT_EQ(Eval("[held.connected, held.buttons[0].pressed, held.timestamp, "
                   "navigator.getGamepads()[0]].join()"),
              "false,true,1096,");
    FeedGamepadNavigation(io, pads.FirstConnected());
    EXPECT_EQ(io.NavInputs[ImGuiNavInput_Activate], 0.0f);
    EXPECT_FALSE(io.BackendFlags & ImGuiBackendFlags_HasGamepad);
    ImGui::DestroyContext(context);
    ImGui::SetCurrentContext(previous);

    // Plugged in again it is a new connection; the old object stays disconnected.
    VirtualPad again;
    Frame();
    EXPECT_EQ(Eval("var now = navigator.getGamepads()[0]; [now.connected, now.index, "
                   "held.connected, log.length].join()"),
              "true,0,false,7");
    again.Unplug();
    Frame();
    // Once scripts let go, every pad is freed.
    Eval("held = null; log = null; pads = null; p = null; b = null; now = null;");
    host().CollectGarbage();
    EXPECT_EQ(Gamepad::GetLiveCount(), 0u);
}

} // namespace
