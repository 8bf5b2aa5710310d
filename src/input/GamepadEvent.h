#pragma once

#include <cstddef>
#include <string>

class Gamepad;

// What a "gamepadconnected" or "gamepaddisconnected" listener receives: the
// event's type and the pad. Shared by its holders like the pad itself, so a
// script may keep the event after its listener returned.
class GamepadEvent {
  public:
    // An event holding `pad`, with the caller as its one holder.
    static GamepadEvent* New(std::string type, Gamepad* pad);
    GamepadEvent(const GamepadEvent&) = delete;
    GamepadEvent& operator=(const GamepadEvent&) = delete;
    void AddHolder() { ++holders; }
    void RemoveHolder();

    const std::string& GetType() const { return type; }
    Gamepad* GetGamepad() const { return pad; }

  private:
    GamepadEvent(std::string type, Gamepad* pad);
    ~GamepadEvent();

    std::string type;
    Gamepad* pad;
    std::size_t holders = 1;
};
