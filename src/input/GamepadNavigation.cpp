#include "input/GamepadNavigation.h"

#include <algorithm>
#include <iterator>

#include <imgui.h>

#include "input/Gamepad.h"

void FeedGamepadNavigation(ImGuiIO& io, const Gamepad* pad) {
    io.ConfigFlags |= ImGuiConfigFlags_NavEnableGamepad;
    // This ImGui keeps its inputs from frame to frame: each is written every time.
    std::fill(std::begin(io.NavInputs), std::end(io.NavInputs), 0.0f);
    if (!pad || !pad->IsConnected()) {
        io.BackendFlags &= ~ImGuiBackendFlags_HasGamepad;
        return;
    }
    io.BackendFlags |= ImGuiBackendFlags_HasGamepad;
    const auto& buttons = pad->GetButtons();
    const auto button = [&](std::size_t i) { return static_cast<float>(buttons[i].value); };
    io.NavInputs[ImGuiNavInput_Activate] = button(0);
    io.NavInputs[ImGuiNavInput_Cancel] = button(1);
    io.NavInputs[ImGuiNavInput_Menu] = button(2);
    io.NavInputs[ImGuiNavInput_Input] = button(3);
    io.NavInputs[ImGuiNavInput_DpadUp] = button(12);
    io.NavInputs[ImGuiNavInput_DpadDown] = button(13);
    io.NavInputs[ImGuiNavInput_DpadLeft] = button(14);
    io.NavInputs[ImGuiNavInput_DpadRight] = button(15);
    io.NavInputs[ImGuiNavInput_FocusPrev] = button(4);
    io.NavInputs[ImGuiNavInput_FocusNext] = button(5);
    io.NavInputs[ImGuiNavInput_TweakSlow] = button(4);
    io.NavInputs[ImGuiNavInput_TweakFast] = button(5);
    // The axes already have their dead zone; y is positive downwards.
    const auto& axes = pad->GetAxes();
    io.NavInputs[ImGuiNavInput_LStickLeft] = static_cast<float>(std::max(0.0, -axes[0]));
    io.NavInputs[ImGuiNavInput_LStickRight] = static_cast<float>(std::max(0.0, axes[0]));
    io.NavInputs[ImGuiNavInput_LStickUp] = static_cast<float>(std::max(0.0, -axes[1]));
    io.NavInputs[ImGuiNavInput_LStickDown] = static_cast<float>(std::max(0.0, axes[1]));
}
