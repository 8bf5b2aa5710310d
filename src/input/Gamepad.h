#pragma once

#include <array>
#include <cstddef>
#include <string>

#include <glm/vec2.hpp>

// One pad's connection as scripts see it, in the "standard" layout browsers use:
// 17 buttons (0 A/bottom, 1 B/right, 2 X/left, 3 Y/top, 4 and 5 the shoulder
// buttons, 6 and 7 the triggers, 8 back, 9 start, 10 and 11 the stick presses,
// 12-15 the d-pad up, down, left, right, 16 guide) and 4 axes (left stick x and
// y, right stick x and y, each -1..1 with y positive downwards).
//
// Shared by its holders: the pad list while the pad stays plugged in, and every
// script object showing it (the pad, one of its buttons, an event about it). The
// last to let go frees it, so a script may keep a pad past its unplugging and
// then reads `connected` false and the pad's last state. A pad plugged in again
// is a new connection with an object of its own.
class Gamepad {
  public:
    static constexpr std::size_t kButtonCount = 17;
    static constexpr std::size_t kAxisCount = 4;
    static constexpr std::size_t kLeftTrigger = 6;
    static constexpr std::size_t kRightTrigger = 7;
    // Sticks rest a little off centre and drift with wear: inside this share of
    // full deflection (measured radially) a stick reads 0, and from its edge the
    // reading rises continuously to 1 at full deflection.
    static constexpr float kStickDeadZone = 0.1f;
    // A trigger counts as pressed past this much of its travel.
    static constexpr float kPressThreshold = 0.1f;

    struct Button {
        bool pressed = false;
        bool touched = false;
        double value = 0.0; // 0..1; only the triggers take values between
        Gamepad* owner = nullptr;
    };

    // What a pad's controls read in one frame, already in the standard layout.
    struct Reading {
        std::array<float, kButtonCount> buttons{}; // 0..1
        std::array<float, kAxisCount> axes{};      // dead zone applied
    };

    // A pad connected at `timeMilliseconds`, with the caller as its one holder.
    static Gamepad* New(std::string id, int index, double timeMilliseconds);
    Gamepad(const Gamepad&) = delete;
    Gamepad& operator=(const Gamepad&) = delete;
    // Pads alive now, connected or held by scripts: what a leak would make grow.
    static std::size_t GetLiveCount();
    void AddHolder() { ++holders; }
    void RemoveHolder();

    const std::string& GetId() const { return id; }
    int GetIndex() const { return index; }
    bool IsConnected() const { return connected; }
    // In milliseconds of game time (the clock timers and animation frames use):
    // the frame in which the pad connected, changed or went.
    double GetTimestamp() const { return timestamp; }
    const std::array<Button, kButtonCount>& GetButtons() const { return buttons; }
    Button* GetButton(std::size_t i) { return &buttons[i]; }
    const std::array<double, kAxisCount>& GetAxes() const { return axes; }

    // Takes a frame's reading; true when anything changed, and the timestamp is
    // then `timeMilliseconds`. Ignored once disconnected.
    bool Apply(const Reading& reading, double timeMilliseconds);
    // Keeps the last state and reads disconnected from now on.
    void Disconnect(double timeMilliseconds);

    // A stick's raw position (each -1..1) with the dead zone applied: length
    // below kStickDeadZone is 0, the rest is rescaled to 0..1 with the direction
    // kept, and a corner beyond the unit circle is held on it.
    static glm::vec2 ApplyDeadZone(glm::vec2 raw);

  private:
    Gamepad(std::string id, int index, double timeMilliseconds);
    ~Gamepad();

    std::string id;
    int index = 0;
    bool connected = true;
    double timestamp = 0.0;
    std::array<Button, kButtonCount> buttons{};
    std::array<double, kAxisCount> axes{};
    std::size_t holders = 1;
};
