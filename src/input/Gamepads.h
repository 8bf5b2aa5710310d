#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "script/ScriptCallback.h"
#include "script/ScriptCallbackSet.h"

class Gamepad;
struct _SDL_GameController;

// The pads plugged in, read through SDL's game-controller layer (which knows the
// button layout of most pads) and handed to scripts in four slots, as browsers
// do. Only that part of SDL is started: the window and the sound belong to SFML.
// One per process, because SDL's device list is.
//
// Scripts' "gamepadconnected" and "gamepaddisconnected" listeners live here
// too; they are called from Update, each call its own entry into script (its
// promise jobs run before the next listener), and an error in one is reported
// and the others still run.
class Gamepads {
  public:
    static constexpr int kSlotCount = 4;
    enum class EventType { Connected, Disconnected };

    static Gamepads& Instance();
    Gamepads(const Gamepads&) = delete;
    Gamepads& operator=(const Gamepads&) = delete;

    // Starts SDL's controller subsystem. When SDL cannot, it says why once on
    // standard error and returns false; the game then runs without pads.
    bool Start();
    bool IsStarted() const { return started; }
    // Closes every pad without telling listeners (the game is ending), forgets
    // the listeners and shuts SDL down. Pads scripts still hold read
    // disconnected. Start may follow.
    void Shutdown();

    // Once a frame: takes SDL's device events, gives pads that came free slots
    // and frees the slots of pads that went, reads every pad (a change moves its
    // timestamp to `timeMilliseconds`), then calls the listeners, in the order
    // the pads came and went. Nothing before Start.
    void Update(double timeMilliseconds);

    // The pad in a slot; null for an empty slot or one outside 0..3.
    Gamepad* Get(int slot) const;
    // The pad in the lowest occupied slot, or null: the one that steers panels.
    const Gamepad* FirstConnected() const;

    // False when the listener is already there for that type (it is then not
    // added twice, as in browsers) or with a script error pending.
    bool AddListener(EventType type, const ScriptCallback& listener);
    // The same function it was added with; nothing when it is not there.
    void RemoveListener(EventType type, const ScriptCallback& listener);
    // Scripts are replaced (live reload): their listeners go with them.
    void ClearListeners();
    std::size_t GetListenerCount() const;

    // "gamepadconnected" and "gamepaddisconnected"; false for any other name.
    static bool ParseEventType(const std::string& name, EventType& type);
    static const char* EventTypeName(EventType type);

  private:
    Gamepads() = default;
    ~Gamepads();

    struct Slot {
        _SDL_GameController* controller = nullptr;
        std::int32_t instance = -1; // SDL's id of the device while it is plugged in
        Gamepad* pad = nullptr;     // held while the slot has it
    };
    struct Pending {
        EventType type;
        Gamepad* pad; // held until its listeners ran
    };

    void TakeDeviceEvents(double timeMilliseconds);
    void Close(Slot& slot, double timeMilliseconds, bool tell);
    void OpenNewPads(double timeMilliseconds);
    void Dispatch();

    std::array<Slot, kSlotCount> slots{};
    std::array<ScriptCallbackSet, 2> listeners; // by EventType
    std::vector<Pending> pending;
    bool started = false;
    bool startFailed = false; // said once; not tried again
    bool devicesChanged = false;
};
