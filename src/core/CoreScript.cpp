#include "core/Core.h"

#include <cmath>

#include "audio/SoundSystem.h"
#include "core/System.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowSystem.h"

// The script's way into the engine: Core.Instance() hands out the managers and
// the systems, and the *Test properties exercise every value conversion.
namespace {

Core* CoreInstance() {
    return &Core::Instance();
}
void Quit() {
    Core::Instance().Quit();
}

// The record goes to the message manager, which frees it once delivered.
void BroadcastMessage(script::Taken<Message> message) {
    Core::Instance().BroadcastMessage(message.object);
}
// A delay that is NaN or infinite never falls due, so its message would hold
// a pool block for good; a negative one is a mistake in the script. The
// record was already handed over, so a rejected one is freed here.
void BroadcastMessageDelayed(script::Taken<Message> message, double delaySeconds) {
    const auto delay = static_cast<float>(delaySeconds);
    if (!std::isfinite(delay) || delay < 0.0f) {
        DestroyMessage(message.object);
        ScriptHost::Instance().ReportError(
            "Error, Core.BroadcastMessageDelayed: the delay must be a finite number of seconds, "
            "0 or more; got %g. The message was not sent.",
            delaySeconds);
        return;
    }
    Core::Instance().BroadcastMessageDelayed(message.object, delay);
}
void PrintMessage(const script::StringOf&) {}

ObjectManager* GetObjectManager(const Core& core) {
    return core.objectManager;
}
// Only a live ObjectManager object converts, so the core never loses its
// manager to a null or an object of another class.
void SetObjectManager(Core& core, ObjectManager* manager) {
    core.objectManager = manager;
}
MessageManager* GetMessageManager(const Core& core) {
    return core.messageManager;
}
void SetMessageManager(Core& core, MessageManager* manager) {
    core.messageManager = manager;
}

// Where the game's files are, ending in '/': "../resource/" or the --resource folder.
// Read-only: the engine has already loaded its start-up files from it.
std::string GetResourceFolder(const Core& core) {
    return core.GetResourceDir();
}

// A new wrapper on every read, from the system itself.
template <class T, T* Core::*Slot> script::WrapperOf<T> GetSystem(const Core& core) {
    T* system = core.*Slot;
    return {system ? static_cast<Core::System*>(system)->GetJSInstance() : nullptr};
}
template <class T, T* Core::*Slot> void SetSystem(Core& core, T* system) {
    core.*Slot = system;
}

template <class T, T* Core::*Slot> script::Member SystemProperty(const char* name) {
    return script::ScriptClass<Core>::Property<&GetSystem<T, Slot>, &SetSystem<T, Slot>>(name);
}

// The *Test values exist so tests can send each kind of value through the
// conversions and read it back; the engine never reads them.
constexpr const char* kTestOnly =
    "*for tests only*: stores and returns the value, exercising its conversion";

using S = script::ScriptClass<Core>;
const S
    coreClass("Core",
              {
                  S::Property<&GetObjectManager, &SetObjectManager>("objectManager"),
                  S::Property<&GetMessageManager, &SetMessageManager>("messageManager"),
                  SystemProperty<AntBarSystem, &Core::AntBarSystem_>("AntBarSystem_"),
                  SystemProperty<WindowSystem, &Core::WindowSystem_>("WindowSystem_"),
                  SystemProperty<GraphicsSystem, &Core::GraphicsSystem_>("GraphicsSystem_"),
                  SystemProperty<GameLogicSystem, &Core::GameLogicSystem_>("GameLogicSystem_"),
                  SystemProperty<PhysicsSystem, &Core::PhysicsSystem_>("PhysicsSystem_"),
                  SystemProperty<JSGarbageCollectorSystem, &Core::JSGarbageCollectorSystem_>(
                      "JSGarbageCollectorSystem_"),
                  SystemProperty<DevConsoleSystem, &Core::DevConsoleSystem_>("DevConsoleSystem_"),
                  SystemProperty<SoundSystem, &Core::SoundSystem_>("SoundSystem_"),
                  S::Property<&Core::running>("running"),
                  S::Property<&GetResourceFolder, nullptr>("resourceFolder"),
                  S::Property<&Core::stringTest>("stringTest").Noted(kTestOnly),
                  S::Property<&Core::vec2Test>("vec2Test").Noted(kTestOnly),
                  S::Property<&Core::vec3Test>("vec3Test").Noted(kTestOnly),
                  S::Property<&Core::vec4Test>("vec4Test").Noted(kTestOnly),
                  S::Property<&Core::mat2Test>("mat2Test").Noted(kTestOnly),
                  S::Property<&Core::mat3Test>("mat3Test").Noted(kTestOnly),
                  S::Property<&Core::mat4Test>("mat4Test").Noted(kTestOnly),
                  S::Property<&Core::quatTest>("quatTest").Noted(kTestOnly),
                  S::Function<&CoreInstance>("Instance"),
                  S::Function<&Quit>("Quit"),
                  S::Method<&Core::ToggleProfileWindow>("ToggleProfileWindow"),
                  S::Function<&BroadcastMessage>("BroadcastMessage").Args("message"),
                  S::Function<&BroadcastMessageDelayed>("BroadcastMessageDelayed")
                      .Args("message, delaySeconds"),
                  S::Function<&PrintMessage>("PrintMessage").Args("text"),
              });

} // namespace
