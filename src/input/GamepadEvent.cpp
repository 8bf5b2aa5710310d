#include "input/GamepadEvent.h"

#include <utility>

#include "input/Gamepad.h"

GamepadEvent* GamepadEvent::New(std::string type, Gamepad* pad) {
    return new GamepadEvent(std::move(type), pad);
}

GamepadEvent::GamepadEvent(std::string type, Gamepad* pad) : type(std::move(type)), pad(pad) {
    pad->AddHolder();
}

GamepadEvent::~GamepadEvent() {
    pad->RemoveHolder();
}

void GamepadEvent::RemoveHolder() {
    if (--holders == 0)
        delete this;
}
