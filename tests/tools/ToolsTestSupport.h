#pragma once

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "tools/AntBarSystem.h"
#include "tools/TweakBar.h"

// The control `name` on panel `bar`; null while either does not exist.
inline const TweakControl* Control(const std::string& bar, const std::string& name) {
    const TweakBar* b = Core::Instance().AntBarSystem_->GetPanels().FindBar(bar);
    return b ? b->FindControl(name) : nullptr;
}

// Where the control was last drawn; empty while it is not.
inline sf::FloatRect DrawnRect(const std::string& bar, const std::string& name) {
    const TweakControl* control = Control(bar, name);
    return control ? control->drawnRect : sf::FloatRect();
}

// Runs a panel button as a click on it does, without a window.
inline void PressButton(const std::string& bar, const std::string& name) {
    const TweakControl* button = Control(bar, name);
    ASSERT_NE(button, nullptr) << bar << ": " << name;
    button->callback(button->clientData);
}

// The figure a read-out last showed; 0 while it does not exist.
inline float Shown(const std::string& bar, const std::string& name) {
    float value = 0.0f;
    if (const TweakControl* control = Control(bar, name))
        std::memcpy(&value, control->shown.data(), sizeof value);
    return value;
}
