#include "input/Gamepads.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include <SDL.h>

#include "input/Gamepad.h"
#include "input/GamepadEvent.h"

namespace {

// Where each button of the standard layout comes from: an SDL button, or for
// the triggers an SDL axis.
struct Source {
    SDL_GameControllerButton button;
    SDL_GameControllerAxis axis;
};
constexpr SDL_GameControllerButton kNoButton = SDL_CONTROLLER_BUTTON_INVALID;
constexpr SDL_GameControllerAxis kNoAxis = SDL_CONTROLLER_AXIS_INVALID;
constexpr std::array<Source, Gamepad::kButtonCount> kButtonSources = {{
    {SDL_CONTROLLER_BUTTON_A, kNoAxis},
    {SDL_CONTROLLER_BUTTON_B, kNoAxis},
    {SDL_CONTROLLER_BUTTON_X, kNoAxis},
    {SDL_CONTROLLER_BUTTON_Y, kNoAxis},
    {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, kNoAxis},
    {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, kNoAxis},
    {kNoButton, SDL_CONTROLLER_AXIS_TRIGGERLEFT},
    {kNoButton, SDL_CONTROLLER_AXIS_TRIGGERRIGHT},
    {SDL_CONTROLLER_BUTTON_BACK, kNoAxis},
    {SDL_CONTROLLER_BUTTON_START, kNoAxis},
    {SDL_CONTROLLER_BUTTON_LEFTSTICK, kNoAxis},
    {SDL_CONTROLLER_BUTTON_RIGHTSTICK, kNoAxis},
    {SDL_CONTROLLER_BUTTON_DPAD_UP, kNoAxis},
    {SDL_CONTROLLER_BUTTON_DPAD_DOWN, kNoAxis},
    {SDL_CONTROLLER_BUTTON_DPAD_LEFT, kNoAxis},
    {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, kNoAxis},
    {SDL_CONTROLLER_BUTTON_GUIDE, kNoAxis},
}};

// SDL's axes run -32768..32767 (triggers 0..32767); both ends read as full.
float AxisOf(SDL_GameController* controller, SDL_GameControllerAxis axis) {
    return std::clamp(SDL_GameControllerGetAxis(controller, axis) / 32767.0f, -1.0f, 1.0f);
}

Gamepad::Reading Read(SDL_GameController* controller) {
    Gamepad::Reading reading;
    for (std::size_t i = 0; i < Gamepad::kButtonCount; ++i) {
        const Source& source = kButtonSources[i];
        reading.buttons[i] =
            source.button != kNoButton
                ? (SDL_GameControllerGetButton(controller, source.button) ? 1.0f : 0.0f)
                : std::max(0.0f, AxisOf(controller, source.axis));
    }
    // SDL's y axes point down, as browsers' do.
    const glm::vec2 left =
        Gamepad::ApplyDeadZone(glm::vec2(AxisOf(controller, SDL_CONTROLLER_AXIS_LEFTX),
                                         AxisOf(controller, SDL_CONTROLLER_AXIS_LEFTY)));
    const glm::vec2 right =
        Gamepad::ApplyDeadZone(glm::vec2(AxisOf(controller, SDL_CONTROLLER_AXIS_RIGHTX),
                                         AxisOf(controller, SDL_CONTROLLER_AXIS_RIGHTY)));
    reading.axes = {left.x, left.y, right.x, right.y};
    return reading;
}

} // namespace

Gamepads& Gamepads::Instance() {
    static Gamepads gamepads;
    return gamepads;
}

Gamepads::~Gamepads() {
    Shutdown();
}

bool Gamepads::Start() {
    if (started)
        return true;
    if (startFailed)
        return false;
    // SDL must leave the process's signals to the engine, read pads while
    // SFML's window (not one of SDL's) has the focus, and name buttons by their
    // place on the pad, as the standard layout does, not by their printed label.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
    SDL_SetHint(SDL_HINT_GAMECONTROLLER_USE_BUTTON_LABELS, "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        std::fprintf(stderr,
                     "Gamepads: SDL's game-controller support could not start (%s); the game "
                     "runs without gamepads.\n",
                     SDL_GetError());
        std::fflush(stderr);
        startFailed = true;
        SDL_Quit();
        return false;
    }
    started = true;
    // Pads plugged in before the start are found by the first update.
    devicesChanged = true;
    return true;
}

void Gamepads::Shutdown() {
    for (Slot& slot : slots)
        Close(slot, slot.pad ? slot.pad->GetTimestamp() : 0.0, false);
    for (const Pending& event : pending)
        event.pad->RemoveHolder();
    pending.clear();
    ClearListeners();
    if (started)
        SDL_Quit();
    started = false;
}

Gamepad* Gamepads::Get(int slot) const {
    return slot >= 0 && slot < kSlotCount ? slots[slot].pad : nullptr;
}

const Gamepad* Gamepads::FirstConnected() const {
    for (const Slot& slot : slots)
        if (slot.pad)
            return slot.pad;
    return nullptr;
}

void Gamepads::Update(double timeMilliseconds) {
    if (!started)
        return;
    // Also reads every device, so the states read below are this frame's.
    SDL_PumpEvents();
    TakeDeviceEvents(timeMilliseconds);
    for (Slot& slot : slots) {
        // A pad gone without its event (it cannot be read any more) goes all the same.
        if (slot.controller && !SDL_GameControllerGetAttached(slot.controller)) {
            Close(slot, timeMilliseconds, true);
            devicesChanged = true;
        }
    }
    for (Slot& slot : slots)
        if (slot.pad)
            slot.pad->Apply(Read(slot.controller), timeMilliseconds);
    if (devicesChanged) {
        devicesChanged = false;
        OpenNewPads(timeMilliseconds);
    }
    Dispatch();
}

void Gamepads::TakeDeviceEvents(double timeMilliseconds) {
    // Every event is taken, the many movement events included, so SDL's queue never fills.
    SDL_Event events[64];
    int count = 0;
    while ((count = SDL_PeepEvents(events, 64, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
        for (int i = 0; i < count; ++i) {
            if (events[i].type == SDL_CONTROLLERDEVICEADDED) {
                devicesChanged = true;
            } else if (events[i].type == SDL_CONTROLLERDEVICEREMOVED) {
                for (Slot& slot : slots)
                    if (slot.controller && slot.instance == events[i].cdevice.which)
                        Close(slot, timeMilliseconds, true);
                // A pad waiting for a free slot may now have one.
                devicesChanged = true;
            }
        }
    }
}

void Gamepads::Close(Slot& slot, double timeMilliseconds, bool tell) {
    if (!slot.controller)
        return;
    SDL_GameControllerClose(slot.controller);
    slot.controller = nullptr;
    slot.instance = -1;
    slot.pad->Disconnect(timeMilliseconds);
    if (tell)
        pending.push_back({EventType::Disconnected, slot.pad}); // takes the slot's hold
    else
        slot.pad->RemoveHolder();
    slot.pad = nullptr;
}

void Gamepads::OpenNewPads(double timeMilliseconds) {
    const int devices = SDL_NumJoysticks();
    for (int device = 0; device < devices; ++device) {
        if (!SDL_IsGameController(device))
            continue;
        const SDL_JoystickID instance = SDL_JoystickGetDeviceInstanceID(device);
        if (instance < 0 || std::any_of(slots.begin(), slots.end(), [&](const Slot& slot) {
                return slot.controller && slot.instance == instance;
            }))
            continue;
        auto free = std::find_if(slots.begin(), slots.end(),
                                 [](const Slot& slot) { return slot.controller == nullptr; });
        if (free == slots.end())
            return; // a fifth pad waits until a slot is free
        SDL_GameController* controller = SDL_GameControllerOpen(device);
        if (!controller) {
            std::fprintf(stderr, "Gamepads: the pad \"%s\" could not be opened: %s\n",
                         SDL_GameControllerNameForIndex(device), SDL_GetError());
            std::fflush(stderr);
            continue;
        }
        const char* name = SDL_GameControllerName(controller);
        Slot& slot = *free;
        slot.controller = controller;
        slot.instance = instance;
        slot.pad = Gamepad::New(name ? name : "Unknown gamepad",
                                static_cast<int>(free - slots.begin()), timeMilliseconds);
        slot.pad->Apply(Read(controller), timeMilliseconds);
        slot.pad->AddHolder(); // the event's hold
        pending.push_back({EventType::Connected, slot.pad});
    }
}

bool Gamepads::AddListener(EventType type, const ScriptCallback& listener) {
    return listeners[static_cast<std::size_t>(type)].Add(listener);
}

void Gamepads::RemoveListener(EventType type, const ScriptCallback& listener) {
    listeners[static_cast<std::size_t>(type)].Remove(listener);
}

void Gamepads::ClearListeners() {
    for (ScriptCallbackSet& set : listeners)
        set.Clear();
}

std::size_t Gamepads::GetListenerCount() const {
    return listeners[0].GetCount() + listeners[1].GetCount();
}

void Gamepads::Dispatch() {
    // Taken first: nothing a listener does can add to the events being sent.
    std::vector<Pending> events;
    events.swap(pending);
    for (const Pending& item : events) {
        GamepadEvent* event = GamepadEvent::New(EventTypeName(item.type), item.pad);
        item.pad->RemoveHolder();
        // As in browsers, a listener added meanwhile waits for the next event, and
        // one removed meanwhile is not called.
        const ScriptCallbackSet& set = listeners[static_cast<std::size_t>(item.type)];
        for (const std::uint64_t entry : set.GetEntries()) {
            const ScriptCallback* found = set.Get(entry);
            if (!found)
                continue;
            // A copy: the listener may remove itself while it runs.
            const ScriptCallback function = *found;
            function.Call({ScriptArg::Wrapper(event)});
        }
        event->RemoveHolder();
    }
}

bool Gamepads::ParseEventType(const std::string& name, EventType& type) {
    for (const EventType candidate : {EventType::Connected, EventType::Disconnected})
        if (name == EventTypeName(candidate)) {
            type = candidate;
            return true;
        }
    return false;
}

const char* Gamepads::EventTypeName(EventType type) {
    return type == EventType::Connected ? "gamepadconnected" : "gamepaddisconnected";
}
