#include "messaging/Message.h"

#include <string>
#include <utility>

#include "script/ScriptClass.h"
#include "script/ScriptHost.h"

// One script class per message record, plus the MID and KeyState constants.
//
// A record made by a script's Create belongs to that script object until it
// is broadcast: Core.BroadcastMessage takes it over and empties the object,
// so the script cannot touch the record after delivery has freed it. A
// record the script drops without broadcasting goes back to the pool when
// its object is collected. Records the engine hands to scripts stay the
// engine's: scripts read and write them but cannot broadcast them again.

namespace {

template <class T> void Release(T* message) {
    DestroyMessage(message);
}

// Records scripts still hold go back to the pool when the script engine shuts
// down, which at exit happens after main returns. Made here, during static
// initialisation, the pool is destroyed only after that shut-down.
[[maybe_unused]] const MessagePool& poolOutlivesScripts = MessagePool::Instance();

template <class T> script::ClassOptions<T> MessageOptions() {
    script::ClassOptions<T> options;
    options.release = &Release<T>;
    options.template Derives<Message>("message object");
    return options;
}

// The identifier of any message object.
uint32_t Type(Message* message) {
    return message->id;
}

// Scripts share the message pool with the engine, which needs a few blocks
// every frame (input, debug drawing). Scripts may keep at most this many
// messages alive at once, held or waiting in the delayed list, which leaves
// the engine most of the pool's 500,000 blocks.
constexpr std::size_t kScriptMessageLimit = 100000;

template <class T> bool RoomForScriptMessage() {
    const auto inUse = [] { return MessagePool::Instance().GetStatistics()->ObjectsInUse; };
    if (inUse() < kScriptMessageLimit)
        return true;
    // Messages a script dropped keep their blocks until their objects are
    // collected; only what is still alive after a collection counts.
    ScriptHost::Instance().CollectGarbage();
    if (inUse() < kScriptMessageLimit)
        return true;
    ScriptHost::Instance().ReportError(
        "Error, %s.Create: %zu messages are alive, the most scripts may hold at once; "
        "broadcast or drop some first (messages posted with a long delay count until "
        "delivered).",
        script::ScriptClass<T>::ScriptName().c_str(), kScriptMessageLimit);
    return false;
}

template <class T, class... A> script::Owned<T> Create(A... args) {
    if (!RoomForScriptMessage<T>())
        return {};
    return {CreateMessage<T>(std::move(args)...)};
}

script::Owned<MouseButtonMessage> CreateMouseButton(glm::ivec2 mousePos, uint32_t state,
                                                    uint32_t index) {
    if (!RoomForScriptMessage<MouseButtonMessage>())
        return {};
    return {CreateMessage<MouseButtonMessage>(mousePos.x, mousePos.y, state, index)};
}
glm::ivec2 GetMousePos(const MouseButtonMessage& m) {
    return {m.mousePos[0], m.mousePos[1]};
}
void SetMousePos(MouseButtonMessage& m, glm::ivec2 pos) {
    m.mousePos[0] = pos.x;
    m.mousePos[1] = pos.y;
}

using Keyboard = script::ScriptClass<KeyboardMessage>;
const Keyboard keyboardMessageClass("KeyboardMessage",
                                    {
                                        Keyboard::Property<&KeyboardMessage::state>("state"),
                                        Keyboard::Property<&KeyboardMessage::key>("key"),
                                        Keyboard::Property<&KeyboardMessage::alt>("alt"),
                                        Keyboard::Property<&KeyboardMessage::ctrl>("ctrl"),
                                        Keyboard::Property<&KeyboardMessage::shift>("shift"),
                                        Keyboard::Function<&Type>("Type").Args("message"),
                                    },
                                    MessageOptions<KeyboardMessage>());

using MouseButton = script::ScriptClass<MouseButtonMessage>;
const MouseButton mouseButtonMessageClass(
    "MouseButtonMessage",
    {
        MouseButton::Property<&GetMousePos, &SetMousePos>("mousePos"),
        MouseButton::Property<&MouseButtonMessage::state>("state"),
        MouseButton::Property<&MouseButtonMessage::index>("index"),
        MouseButton::Function<&CreateMouseButton>("Create").Args("mousePos, state, index"),
        MouseButton::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<MouseButtonMessage>());

using MouseMotion = script::ScriptClass<MouseMotionMessage>;
const MouseMotion mouseMotionMessageClass(
    "MouseMotionMessage",
    {
        MouseMotion::Property<&MouseMotionMessage::x>("x"),
        MouseMotion::Property<&MouseMotionMessage::y>("y"),
        MouseMotion::Property<&MouseMotionMessage::xRel>("xRel"),
        MouseMotion::Property<&MouseMotionMessage::yRel>("yRel"),
        MouseMotion::Function<&Create<MouseMotionMessage, int32_t, int32_t, int32_t, int32_t>>(
            "Create")
            .Args("x, y, xRel, yRel"),
        MouseMotion::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<MouseMotionMessage>());

using MouseWheel = script::ScriptClass<MouseWheelMessage>;
const MouseWheel mouseWheelMessageClass(
    "MouseWheelMessage",
    {
        MouseWheel::Property<&MouseWheelMessage::delta>("delta"),
        MouseWheel::Function<&Create<MouseWheelMessage, int32_t>>("Create").Args("delta"),
        MouseWheel::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<MouseWheelMessage>());

// Records that point into engine memory (variables, callbacks) are never
// made or changed by scripts.
using AddVar = script::ScriptClass<AddVarMessage>;
const AddVar addVarMessageClass("AddVarMessage", {AddVar::Function<&Type>("Type").Args("message")},
                                MessageOptions<AddVarMessage>());

using RemoveVar = script::ScriptClass<RemoveVarMessage>;
const RemoveVar removeVarMessageClass(
    "RemoveVarMessage",
    {
        RemoveVar::Property<&RemoveVarMessage::barName>("barName"),
        RemoveVar::Property<&RemoveVarMessage::varName>("varName"),
        RemoveVar::Function<&Create<RemoveVarMessage, std::string, std::string>>("Create").Args(
            "barName, varName"),
        RemoveVar::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<RemoveVarMessage>());

using AddEnum = script::ScriptClass<AddEnumMessage>;
const AddEnum addEnumMessageClass("AddEnumMessage",
                                  {AddEnum::Function<&Type>("Type").Args("message")},
                                  MessageOptions<AddEnumMessage>());

using ClearBar = script::ScriptClass<ClearBarMessage>;
const ClearBar clearBarMessageClass(
    "ClearBarMessage",
    {
        ClearBar::Property<&ClearBarMessage::barName>("barName"),
        ClearBar::Function<&Create<ClearBarMessage, std::string>>("Create").Args("barName"),
        ClearBar::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<ClearBarMessage>());

using AddButton = script::ScriptClass<AddButtonMessage>;
const AddButton addButtonMessageClass("AddButtonMessage",
                                      {AddButton::Function<&Type>("Type").Args("message")},
                                      MessageOptions<AddButtonMessage>());

using RegisterAntBar = script::ScriptClass<RegisterAntBarMessage>;
const RegisterAntBar registerAntBarMessageClass(
    "RegisterAntBarMessage",
    {
        RegisterAntBar::Property<&RegisterAntBarMessage::barName>("barName"),
        RegisterAntBar::Property<&RegisterAntBarMessage::width>("width"),
        RegisterAntBar::Property<&RegisterAntBarMessage::height>("height"),
        RegisterAntBar::Property<&RegisterAntBarMessage::posX>("posX"),
        RegisterAntBar::Property<&RegisterAntBarMessage::posY>("posY"),
        RegisterAntBar::Function<&Create<RegisterAntBarMessage, std::string, uint32_t, uint32_t,
                                         uint32_t, uint32_t>>("Create")
            .Args("barName, width, height, posX, posY"),
        RegisterAntBar::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<RegisterAntBarMessage>());

using SetBarVisible = script::ScriptClass<SetBarVisibleMessage>;
const SetBarVisible setBarVisibleMessageClass(
    "SetBarVisibleMessage",
    {
        SetBarVisible::Property<&SetBarVisibleMessage::barName>("barName"),
        SetBarVisible::Property<&SetBarVisibleMessage::visible>("visible"),
        SetBarVisible::Function<&Create<SetBarVisibleMessage, std::string, bool>>("Create").Args(
            "barName, visible"),
        SetBarVisible::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<SetBarVisibleMessage>());

using TWDefine = script::ScriptClass<TWDefineMessage>;
const TWDefine twDefineMessageClass(
    "TWDefineMessage",
    {
        TWDefine::Property<&TWDefineMessage::barName>("barName"),
        TWDefine::Property<&TWDefineMessage::def>("def"),
        TWDefine::Function<&Create<TWDefineMessage, std::string, std::string>>("Create").Args(
            "barName, definition"),
        TWDefine::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<TWDefineMessage>());

using VideoSizeChange = script::ScriptClass<VideoSizeChangeMessage>;
const VideoSizeChange videoSizeChangeMessageClass(
    "VideoSizeChangeMessage",
    {
        VideoSizeChange::Property<&VideoSizeChangeMessage::width>("width"),
        VideoSizeChange::Property<&VideoSizeChangeMessage::height>("height"),
        VideoSizeChange::Function<&Create<VideoSizeChangeMessage, uint32_t, uint32_t>>("Create")
            .Args("width, height"),
        VideoSizeChange::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<VideoSizeChangeMessage>());

using TextEntered = script::ScriptClass<TextEnteredMessage>;
const TextEntered
    textEnteredMessageClass("TextEnteredMessage",
                            {
                                TextEntered::Property<&TextEnteredMessage::unicode>("unicode"),
                                TextEntered::Function<&Type>("Type").Args("message"),
                            },
                            MessageOptions<TextEnteredMessage>());

using DeleteBar = script::ScriptClass<DeleteBarMessage>;
const DeleteBar deleteBarMessageClass(
    "DeleteBarMessage",
    {
        DeleteBar::Property<&DeleteBarMessage::barName>("barName"),
        DeleteBar::Function<&Create<DeleteBarMessage, std::string>>("Create").Args("barName"),
        DeleteBar::Function<&Type>("Type").Args("message"),
    },
    MessageOptions<DeleteBarMessage>());

using DebugDraw = script::ScriptClass<DebugDrawMessage>;
const DebugDraw debugDrawMessageClass("DebugDrawMessage",
                                      {DebugDraw::Function<&Type>("Type").Args("message")},
                                      MessageOptions<DebugDrawMessage>());

using Quitting = script::ScriptClass<QuittingMessage>;
const Quitting quittingMessageClass("QuittingMessage",
                                    {Quitting::Function<&Type>("Type").Args("message")},
                                    MessageOptions<QuittingMessage>());

using Ids = script::ScriptClass<MessageId>;
const Ids
    messageIdClass("MID",
                   {
                       Ids::Constant<MID_KeyboardMessage>("MID_KeyboardMessage"),
                       Ids::Constant<MID_MouseButtonMessage>("MID_MouseButtonMessage"),
                       Ids::Constant<MID_MouseMotionMessage>("MID_MouseMotionMessage"),
                       Ids::Constant<MID_MouseWheelMessage>("MID_MouseWheelMessage"),
                       Ids::Constant<MID_AddVarMessage>("MID_AddVarMessage"),
                       Ids::Constant<MID_RemoveVarMessage>("MID_RemoveVarMessage"),
                       Ids::Constant<MID_AddEnumMessage>("MID_AddEnumMessage"),
                       Ids::Constant<MID_ClearBarMessage>("MID_ClearBarMessage"),
                       Ids::Constant<MID_AddButtonMessage>("MID_AddButtonMessage"),
                       Ids::Constant<MID_RegisterAntBarMessage>("MID_RegisterAntBarMessage"),
                       Ids::Constant<MID_SetBarVisibleMessage>("MID_SetBarVisibleMessage"),
                       Ids::Constant<MID_TWDefineMessage>("MID_TWDefineMessage"),
                       Ids::Constant<MID_VideoSizeChangeMessage>("MID_VideoSizeChangeMessage"),
                       Ids::Constant<MID_TextEnteredMessage>("MID_TextEnteredMessage"),
                       Ids::Constant<MID_DeleteBarMessage>("MID_DeleteBarMessage"),
                       Ids::Constant<MID_DebugDrawMessage>("MID_DebugDrawMessage"),
                       Ids::Constant<MID_QuittingMessage>("MID_QuittingMessage"),
                   });

using KeyStates = script::ScriptClass<KeyState>;
const KeyStates keyStateClass("KeyState", {
                                              KeyStates::Constant<KS_PRESSED>("KS_PRESSED"),
                                              KeyStates::Constant<KS_RELEASED>("KS_RELEASED"),
                                          });

} // namespace
