#include "input/Gamepad.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
std::size_t livePads = 0;
} // namespace

Gamepad* Gamepad::New(std::string id, int index, double timeMilliseconds) {
    return new Gamepad(std::move(id), index, timeMilliseconds);
}

Gamepad::Gamepad(std::string id, int index, double timeMilliseconds)
    : id(std::move(id)), index(index), timestamp(timeMilliseconds) {
    for (Button& button : buttons)
        button.owner = this;
    ++livePads;
}

Gamepad::~Gamepad() {
    --livePads;
}

std::size_t Gamepad::GetLiveCount() {
    return livePads;
}

void Gamepad::RemoveHolder() {
    if (--holders == 0)
        delete this;
}

bool Gamepad::Apply(const Reading& reading, double timeMilliseconds) {
    if (!connected)
        return false;
    bool changed = false;
    for (std::size_t i = 0; i < kButtonCount; ++i) {
        const double value = std::clamp(static_cast<double>(reading.buttons[i]), 0.0, 1.0);
        Button& button = buttons[i];
        if (button.value == value)
            continue;
        button.value = value;
        button.pressed = value > kPressThreshold;
        button.touched = value > 0.0;
        changed = true;
    }
    for (std::size_t i = 0; i < kAxisCount; ++i) {
        const double value = reading.axes[i];
        changed = changed || axes[i] != value;
        axes[i] = value;
    }
    if (changed)
        timestamp = timeMilliseconds;
    return changed;
}

void Gamepad::Disconnect(double timeMilliseconds) {
    if (!connected)
        return;
    connected = false;
    timestamp = timeMilliseconds;
}

glm::vec2 Gamepad::ApplyDeadZone(glm::vec2 raw) {
    const float length = std::hypot(raw.x, raw.y);
    if (!(length > kStickDeadZone)) // NaN reads as centred too
        return glm::vec2(0.0f);
    const float scaled = std::min(1.0f, (length - kStickDeadZone) / (1.0f - kStickDeadZone));
    return raw * (scaled / length);
}
