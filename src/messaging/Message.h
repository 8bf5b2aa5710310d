#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "objects/BlockAllocator.h"
#include "objects/OAException.h"

// Identifiers of the message records; every record starts with one.
enum MessageId : std::uint32_t {
    MID_KeyboardMessage = 0,
    MID_MouseButtonMessage = 1,
    MID_MouseMotionMessage = 2,
    MID_MouseWheelMessage = 3,
    MID_AddVarMessage = 4,
    MID_RemoveVarMessage = 5,
    MID_AddEnumMessage = 6,
    MID_ClearBarMessage = 7,
    MID_AddButtonMessage = 8,
    MID_RegisterAntBarMessage = 9,
    MID_SetBarVisibleMessage = 10,
    MID_TWDefineMessage = 11,
    MID_VideoSizeChangeMessage = 12,
    MID_TextEnteredMessage = 13,
    MID_DeleteBarMessage = 14,
    MID_DebugDrawMessage = 15,
    MID_QuittingMessage = 16,
};

inline constexpr std::uint32_t kMessageTypeCount = 17;

enum KeyState : std::uint32_t { KS_PRESSED = 0, KS_RELEASED = 1 };

// Common head of every record. Receivers switch on `id` and cast to the record
// it names; records have no virtual functions, so `id` is the first thing in
// each of them.
struct Message {
    explicit Message(std::uint32_t id) : id(id) {}
    std::uint32_t id;
};

struct KeyboardMessage : Message {
    static constexpr std::uint32_t kId = MID_KeyboardMessage;
    KeyboardMessage(std::uint32_t state, std::uint32_t key, bool alt, bool ctrl, bool shift)
        : Message(kId), state(state), key(key), alt(alt), ctrl(ctrl), shift(shift) {}
    std::uint32_t state; // a KeyState
    std::uint32_t key;
    bool alt;
    bool ctrl;
    bool shift;
};

struct MouseButtonMessage : Message {
    static constexpr std::uint32_t kId = MID_MouseButtonMessage;
    MouseButtonMessage(std::int32_t x, std::int32_t y, std::uint32_t state, std::uint32_t index)
        : Message(kId), mousePos{x, y}, state(state), index(index) {}
    std::int32_t mousePos[2]; // x, y in window pixels
    std::uint32_t state;      // a KeyState
    std::uint32_t index;
};

struct MouseMotionMessage : Message {
    static constexpr std::uint32_t kId = MID_MouseMotionMessage;
    MouseMotionMessage(std::int32_t x, std::int32_t y, std::int32_t xRel, std::int32_t yRel)
        : Message(kId), x(x), y(y), xRel(xRel), yRel(yRel) {}
    std::int32_t x;
    std::int32_t y;
    std::int32_t xRel; // movement since the previous motion event
    std::int32_t yRel;
};

struct MouseWheelMessage : Message {
    static constexpr std::uint32_t kId = MID_MouseWheelMessage;
    explicit MouseWheelMessage(std::int32_t delta) : Message(kId), delta(delta) {}
    std::int32_t delta;
};

struct AddVarMessage : Message {
    static constexpr std::uint32_t kId = MID_AddVarMessage;
    AddVarMessage(std::string barName, void* var, std::int32_t type, std::string varName,
                  std::string def)
        : Message(kId), barName(std::move(barName)), var(var), type(type),
          varName(std::move(varName)), def(std::move(def)) {}
    std::string barName;
    void* var; // the variable shown; owned by the sender
    std::int32_t type;
    std::string varName;
    std::string def;
};

struct RemoveVarMessage : Message {
    static constexpr std::uint32_t kId = MID_RemoveVarMessage;
    RemoveVarMessage(std::string barName, std::string varName)
        : Message(kId), barName(std::move(barName)), varName(std::move(varName)) {}
    std::string barName;
    std::string varName;
};

struct AddEnumMessage : Message {
    static constexpr std::uint32_t kId = MID_AddEnumMessage;
    AddEnumMessage(std::string barName, void* var, std::string varName, std::string enumValues)
        : Message(kId), barName(std::move(barName)), var(var), varName(std::move(varName)),
          enumValues(std::move(enumValues)) {}
    std::string barName;
    void* var;
    std::string varName;
    std::string enumValues; // comma-separated labels
};

struct ClearBarMessage : Message {
    static constexpr std::uint32_t kId = MID_ClearBarMessage;
    explicit ClearBarMessage(std::string barName) : Message(kId), barName(std::move(barName)) {}
    std::string barName;
};

struct AddButtonMessage : Message {
    static constexpr std::uint32_t kId = MID_AddButtonMessage;
    using Callback = void (*)(void* clientData);
    AddButtonMessage(std::string barName, Callback callback, void* clientData,
                     std::string buttonName, std::string def)
        : Message(kId), barName(std::move(barName)), callback(callback), clientData(clientData),
          buttonName(std::move(buttonName)), def(std::move(def)) {}
    std::string barName;
    Callback callback;
    void* clientData;
    std::string buttonName;
    std::string def;
};

struct RegisterAntBarMessage : Message {
    static constexpr std::uint32_t kId = MID_RegisterAntBarMessage;
    RegisterAntBarMessage(std::string barName, std::uint32_t width, std::uint32_t height,
                          std::uint32_t posX, std::uint32_t posY, bool enginePanel = false)
        : Message(kId), barName(std::move(barName)), width(width), height(height), posX(posX),
          posY(posY), enginePanel(enginePanel) {}
    std::string barName;
    std::uint32_t width;
    std::uint32_t height;
    std::uint32_t posX;
    std::uint32_t posY;
    // One of the engine's own panels (the profile panels): it stays when the
    // scripts are replaced. Scripts cannot set it.
    bool enginePanel;
};

struct SetBarVisibleMessage : Message {
    static constexpr std::uint32_t kId = MID_SetBarVisibleMessage;
    SetBarVisibleMessage(std::string barName, bool visible)
        : Message(kId), barName(std::move(barName)), visible(visible) {}
    std::string barName;
    bool visible;
};

struct TWDefineMessage : Message {
    static constexpr std::uint32_t kId = MID_TWDefineMessage;
    TWDefineMessage(std::string barName, std::string def)
        : Message(kId), barName(std::move(barName)), def(std::move(def)) {}
    std::string barName;
    std::string def;
};

struct VideoSizeChangeMessage : Message {
    static constexpr std::uint32_t kId = MID_VideoSizeChangeMessage;
    VideoSizeChangeMessage(std::uint32_t width, std::uint32_t height)
        : Message(kId), width(width), height(height) {}
    std::uint32_t width;
    std::uint32_t height;
};

struct TextEnteredMessage : Message {
    static constexpr std::uint32_t kId = MID_TextEnteredMessage;
    explicit TextEnteredMessage(std::uint32_t unicode) : Message(kId), unicode(unicode) {}
    std::uint32_t unicode; // code point
};

struct DeleteBarMessage : Message {
    static constexpr std::uint32_t kId = MID_DeleteBarMessage;
    explicit DeleteBarMessage(std::string barName) : Message(kId), barName(std::move(barName)) {}
    std::string barName;
};

struct DebugDrawMessage : Message {
    static constexpr std::uint32_t kId = MID_DebugDrawMessage;
    DebugDrawMessage() : Message(kId) {}
};

struct QuittingMessage : Message {
    static constexpr std::uint32_t kId = MID_QuittingMessage;
    QuittingMessage() : Message(kId) {}
};

// Every record, at the position of its identifier. Block size, destruction and
// the checks below are all derived from this one list.
using MessageTypes =
    std::tuple<KeyboardMessage, MouseButtonMessage, MouseMotionMessage, MouseWheelMessage,
               AddVarMessage, RemoveVarMessage, AddEnumMessage, ClearBarMessage, AddButtonMessage,
               RegisterAntBarMessage, SetBarVisibleMessage, TWDefineMessage, VideoSizeChangeMessage,
               TextEnteredMessage, DeleteBarMessage, DebugDrawMessage, QuittingMessage>;

namespace message_detail {
template <std::size_t... I> constexpr bool IdsMatchPositions(std::index_sequence<I...>) {
    return ((std::tuple_element_t<I, MessageTypes>::kId == I) && ...);
}
template <std::size_t... I> constexpr std::size_t LargestRecord(std::index_sequence<I...>) {
    return std::max({sizeof(std::tuple_element_t<I, MessageTypes>)...});
}
template <std::size_t... I>
constexpr bool AllAligned(std::index_sequence<I...>, std::size_t alignment) {
    return ((alignof(std::tuple_element_t<I, MessageTypes>) <= alignment) && ...);
}
using Indices = std::make_index_sequence<std::tuple_size_v<MessageTypes>>;
} // namespace message_detail

static_assert(std::tuple_size_v<MessageTypes> == kMessageTypeCount);
static_assert(message_detail::IdsMatchPositions(message_detail::Indices{}),
              "MessageTypes must list the records in identifier order");
static_assert(message_detail::AllAligned(message_detail::Indices{}, DefaultMMConfig::kAlignment),
              "message blocks are not aligned enough for every record");

// Size of a message block: the largest record, which with 32-byte strings is
// one of the three-string records.
inline constexpr std::size_t kMessageBlockSize =
    message_detail::LargestRecord(message_detail::Indices{});

using MessagePool = BlockAllocator<kMessageBlockSize>;

template <class T>
inline constexpr bool kIsMessageRecord =
    std::is_base_of_v<Message, T> && !std::is_same_v<Message, T> &&
    std::is_same_v<std::tuple_element_t<T::kId, MessageTypes>, T>;

// Builds a record in a block of the message pool. Throws OAException when the
// pool is exhausted; nothing is created then. The record is normally handed
// straight to a MessagePointer, which gives the block back when done.
template <class T, class... A> T* CreateMessage(A&&... args) {
    static_assert(kIsMessageRecord<T>, "not a message record");
    static_assert(sizeof(T) <= kMessageBlockSize);
    ObjectAllocator& pool = MessagePool::Instance().GetAllocator();
    void* block = pool.Allocate();
    try {
        return new (block) T(std::forward<A>(args)...);
    } catch (...) {
        pool.Free(block);
        throw;
    }
}

// Runs the destructor of the record named by message->id and returns its block
// to the message pool. Null is ignored.
void DestroyMessage(Message* message);

// Engine messages that could not be made because the pool was exhausted.
std::uint64_t GetDroppedEngineMessageCount();
void NoteEngineMessageDropped(std::uint32_t id, const char* reason);
void NoteEngineMessageCreated();

// For engine code that must carry on without its message (input events, the
// per-frame debug draw): null instead of an exception when the pool is
// exhausted. A frame then goes on without that one message; the first drop
// is reported on standard error, and the next only after a message could be
// made again, so a pool that stays full does not flood the output.
template <class T, class... A> T* TryCreateMessage(A&&... args) {
    try {
        T* message = CreateMessage<T>(std::forward<A>(args)...);
        NoteEngineMessageCreated();
        return message;
    } catch (const OAException& error) {
        NoteEngineMessageDropped(T::kId, error.what());
        return nullptr;
    }
}
