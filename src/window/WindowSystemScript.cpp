#include "window/WindowSystem.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include <glm/glm.hpp>

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"
#include "window/KeyCodes.h"

// Core's WindowSystem_ property asks for a new wrapper on every read.
JSObject* WindowSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {

// ---- VidMode: a copy of a video mode -----------------------------------

// The script object owns its copy, so a script may change it freely without
// touching the window, and keep it as long as it likes.
using VidModeCopy = script::Owned<sf::VideoMode>;

VidModeCopy CopyOf(const sf::VideoMode& mode) {
    return {new sf::VideoMode(mode)};
}

script::ClassOptions<sf::VideoMode> VidModeOptions() {
    script::ClassOptions<sf::VideoMode> options;
    options.release = [](sf::VideoMode* mode) { delete mode; };
    return options;
}

using V = script::ScriptClass<sf::VideoMode>;
const V vidModeClass("VidMode",
                     {
                         V::Property<&sf::VideoMode::width>("width"),
                         V::Property<&sf::VideoMode::height>("height"),
                         V::Property<&sf::VideoMode::bitsPerPixel>("bpp"),
                     },
                     VidModeOptions());

// ---- WindowSystem --------------------------------------------------------

glm::vec2 GetTextOffset(const WindowSystem& window) {
    return {window.textOffset.x, window.textOffset.y};
}
void SetTextOffset(WindowSystem& window, glm::vec2 offset) {
    window.textOffset = sf::Vector2f(offset.x, offset.y);
}

glm::ivec2 GetMousePos(const WindowSystem& window) {
    const sf::Vector2i position = window.GetMousePos();
    return {position.x, position.y};
}

bool IsKeyboardCaptured(const WindowSystem& window) {
    return window.IsKeyboardCaptured();
}

// A zero mode (all fields 0) for an index outside the list.
VidModeCopy GetVideoMode(const WindowSystem& window, std::uint32_t index) {
    return CopyOf(window.GetVideoMode(index));
}
VidModeCopy GetCurrentVideoMode(const WindowSystem& window) {
    return CopyOf(window.GetCurrentVideoMode());
}

using S = script::ScriptClass<WindowSystem>;
const S windowSystemClass(
    "WindowSystem",
    {
        S::Property<&GetTextOffset, &SetTextOffset>("textOffset"),
        S::Property<&WindowSystem::title>("title"),
        S::Property<&WindowSystem::fullScreen>("fullScreen"),
        S::Property<&WindowSystem::preserveOpenGLStates>("preserveOpenGLStates"),
        S::Property<&WindowSystem::handleTweakBarMessages>("handleTweakBarMessages"),
        S::Property<&WindowSystem::debugDraw>("debugDraw"),
        S::Property<&WindowSystem::initialHeight>("initialHeight"),
        S::Property<&WindowSystem::initialWidth>("initialWidth"),
        S::Method<&WindowSystem::SetVideoMode>("SetVideoMode")
            .Args("modeWidth, modeHeight, bitsPerPixel"),
        S::Method<&WindowSystem::PrintAvailableVideoModes>("PrintAvailableVideoModes"),
        S::Method<&WindowSystem::ToggleVSync>("ToggleVSync"),
        S::Method<&WindowSystem::HideWindow>("HideWindow"),
        S::Method<&WindowSystem::ToggleFullScreen>("ToggleFullScreen"),
        S::Method<&WindowSystem::CloseWindow>("CloseWindow"),
        S::Method<&WindowSystem::IsKeyDown>("IsKeyDown")
            .Args("keyCode")
            .Noted("false for every key while the keyboard is captured"),
        S::Method<&IsKeyboardCaptured>("IsKeyboardCaptured")
            .Noted("true while the developer console is open or a panel's text field has "
                   "the keyboard: keys are typing then, not playing"),
        S::Method<&WindowSystem::IsMouseButtonDown>("IsMouseButtonDown").Args("button"),
        S::Method<&GetMousePos>("GetMousePos"),
        S::Method<&WindowSystem::Screenshot>("Screenshot"),
        S::Method<&WindowSystem::GetWidth>("GetWidth"),
        S::Method<&WindowSystem::GetHeight>("GetHeight"),
        S::Method<&GetVideoMode>("GetVideoMode").Args("index"),
        S::Method<&WindowSystem::NumVideoModes>("NumVideoModes"),
        S::Method<&GetCurrentVideoMode>("GetCurrentVideoMode"),
        S::Method<&WindowSystem::MinimizeWindow>("MinimizeWindow"),
        S::Method<&WindowSystem::MaximizeWindow>("MaximizeWindow"),
        S::Method<&WindowSystem::DesktopWidth>("DesktopWidth"),
        S::Method<&WindowSystem::DesktopHeight>("DesktopHeight"),
    });

// ---- Code and Button: key codes and mouse buttons by name -----------------

// Tags naming the two enumeration classes; they have no objects.
struct KeyCodeNames {};
struct MouseButtonNames {};

// One read-only constant per entry of a compile-time {name, code} table.
template <class Tag, const auto& Table, std::size_t... I>
std::vector<script::Member> ConstantsOf(std::index_sequence<I...>) {
    return {script::ScriptClass<Tag>::template Constant<Table[I].code>(Table[I].name)...};
}

using Codes = script::ScriptClass<KeyCodeNames>;
const Codes
    codeClass("Code",
              ConstantsOf<KeyCodeNames, KeyCodeTable()>(std::make_index_sequence<kKeyNameCount>{}));

using Buttons = script::ScriptClass<MouseButtonNames>;
const Buttons buttonClass("Button", ConstantsOf<MouseButtonNames, MouseButtonTable()>(
                                        std::make_index_sequence<kMouseButtonNameCount>{}));

} // namespace
