// The core, the systems, the messages and start-up, as scripts see them.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "core/Core.h"
#include "core/System.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/ScriptCallback.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"

namespace {

// Records what is broadcast, keeping the records alive.
class Watcher : public MessageListener {
  public:
    explicit Watcher(MessageManager& messages) : messages(messages) {
        listener = new MessageListener::MessageListenerDerived<Watcher>(this);
        messages.AddListener(*this, 0);
    }
    ~Watcher() override { messages.RemoveListener(listener); }
    void HandleMessage(const MessagePointer& message) { received.push_back(message); }

    MessageManager& messages;
    std::vector<MessagePointer> received;
};

// A script function the engine calls, as components will.
struct Hook {
    ScriptCallback callback;
};
Hook& TheHook() {
    static Hook hook;
    return hook;
}
Hook* HookInstance() {
    return &TheHook();
}
using H = script::ScriptClass<Hook>;
const H hookClass("Hook", {H::Property<&Hook::callback>("callback"),
                           H::Function<&HookInstance>("Instance")});

size_t MessagesInUse() {
    return MessagePool::Instance().GetStatistics()->ObjectsInUse;
}

class CoreScript : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Eval("var core = Core.Instance();");
    }
    Core& core = Core::Instance();
};

TEST_F(CoreScript, InstanceIsANewWrapperAroundTheOneCore) {
    EXPECT_EQ(Eval("Core.Instance() === Core.Instance()"), "false");
    EXPECT_EQ(Eval("core.stringTest = 'abc'; Core.Instance().stringTest"), "abc");
    EXPECT_EQ(core.stringTest, "abc");
    EXPECT_EQ(Eval("String(core)"), "[object Core]");
}

TEST_F(CoreScript, TestValuesStartAtIdentityAndRoundTrip) {
    EXPECT_EQ(Eval("core.quatTest"), "0,0,0,1");
    EXPECT_EQ(Eval("JSON.stringify(core.mat3Test)"), "[[1,0,0],[0,1,0],[0,0,1]]");
    EXPECT_EQ(Eval("JSON.stringify([core.vec2Test, core.vec3Test, core.vec4Test])"),
              "[[0,0],[0,0,0],[0,0,0,0]]");
    Eval("core.mat4Test = [[1,0,0,0],[0,1,0,0],[0,0,1,0],[7,8,9,1]];"
         "core.quatTest = [0, 0, 1, 0]; core.vec3Test = [1, 2];");
    EXPECT_EQ(core.mat4Test[3], glm::vec4(7, 8, 9, 1));
    EXPECT_EQ(core.quatTest.z, 1.0f);
    EXPECT_EQ(core.quatTest.w, 0.0f);
    EXPECT_TRUE(std::isnan(core.vec3Test.z));
    EXPECT_EQ(Eval("core.mat4Test[3]"), "7,8,9,1");
}

TEST_F(CoreScript, ThePrototypeHasNoPrivateData) {
    EXPECT_EQ(ErrorOf("Core.running"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_running.");
    EXPECT_EQ(ErrorOf("Core.AntBarSystem_ = null"),
              "test.js:0:Error, Private data could not be retrieved in JSSet_AntBarSystem_.");
    EXPECT_NE(ErrorOf("Core.ToggleProfileWindow()").find("call it on a Core object"),
              std::string::npos);
    EXPECT_FALSE(core.profiling);
    // Functions that need no instance work on the class object.
    EXPECT_EQ(Eval("typeof Core.Instance() + Core.PrintMessage({}) + Core.PrintMessage()"),
              "objectundefinedundefined");
}

TEST_F(CoreScript, SystemsAndManagersAreWrappersOfTheirOwnClasses) {
    const char* systems[] = {"AntBarSystem",     "WindowSystem",  "GraphicsSystem",
                             "GameLogicSystem",  "PhysicsSystem", "JSGarbageCollectorSystem",
                             "DevConsoleSystem", "SoundSystem"};
    for (const char* name : systems) {
        const std::string property = std::string("core.") + name + "_";
        EXPECT_EQ(Eval("Object.getPrototypeOf(" + property + ") === " + name + " && " + property +
                       " !== " + property),
                  "true")
            << name;
    }
    EXPECT_EQ(Eval("Object.getPrototypeOf(core.objectManager) === ObjectManager && "
                   "Object.getPrototypeOf(core.messageManager) === MessageManager"),
              "true");

    // The core never loses a manager to a wrong value.
    ObjectManager* manager = core.objectManager;
    EXPECT_EQ(ErrorOf("core.objectManager = core.messageManager"),
              "test.js:0:Error in Core.objectManager: the value must be ObjectManager, got a "
              "MessageManager object.");
    EXPECT_NE(ErrorOf("core.objectManager = null"), "");
    EXPECT_NE(ErrorOf("core.GraphicsSystem_ = core.SoundSystem_"), "");
    EXPECT_EQ(core.objectManager, manager);
    EXPECT_EQ(Eval("core.objectManager = Core.Instance().objectManager; 'kept'"), "kept");
    EXPECT_EQ(core.objectManager, manager);
}

TEST_F(CoreScript, ASystemWithoutItsOwnScriptClassGivesNullAndAWarning) {
    struct BareSystem : Core::System {};
    BareSystem bare;
    EXPECT_EQ(bare.GetJSInstance(), nullptr);
    EXPECT_EQ(host().GetLastError(),
              "<no fileName=>:0:Warning: Calling GetJSInstance of base System");
}

TEST_F(CoreScript, RunningAndQuitStopTheLoop) {
    Watcher watcher(*core.messageManager);
    core.running = true;
    Eval("core.running = false");
    EXPECT_FALSE(core.running);
    EXPECT_TRUE(watcher.received.empty()); // no quitting message for that

    core.running = true;
    EXPECT_EQ(Eval("Core.Quit(1)"), "undefined"); // wrong count: nothing
    EXPECT_TRUE(core.running);
    Eval("Core.Quit()");
    EXPECT_FALSE(core.running);
    ASSERT_EQ(watcher.received.size(), 1u);
    EXPECT_EQ(watcher.received[0]->id, static_cast<uint32_t>(MID_QuittingMessage));
}

TEST_F(CoreScript, ToggleProfileWindowOnAnInstance) {
    Eval("core.ToggleProfileWindow()");
    EXPECT_TRUE(core.profiling);
    Eval("core.ToggleProfileWindow()");
    EXPECT_FALSE(core.profiling);
}

TEST_F(CoreScript, MessagesAreCreatedReadAndTyped) {
    EXPECT_EQ(Eval("var m = RegisterAntBarMessage.Create('a bar name of many letters', 200, "
                   "4294967295, 10, 11); [m.barName, m.width, m.height, m.posX, m.posY]"),
              "a bar name of many letters,200,4294967295,10,11");
    EXPECT_EQ(Eval("var b = MouseButtonMessage.Create([3, -4], KeyState.KS_RELEASED, 2);"
                   "[b.mousePos, b.state, b.index, MouseButtonMessage.Type(b)].join(' ')"),
              "3,-4 1 2 1");
    EXPECT_EQ(Eval("b.mousePos = [5.9, 6]; b.mousePos"), "5,6");
    EXPECT_EQ(Eval("KeyboardMessage.Type(MouseMotionMessage.Create(1, 2, 3, 4))"), "2");
    EXPECT_EQ(Eval("[MouseWheelMessage.Create(-3).delta, TextEnteredMessage.Type(m),"
                   " SetBarVisibleMessage.Create('x', 1).visible,"
                   " VideoSizeChangeMessage.Create(640, 480).height,"
                   " TWDefineMessage.Create('x', 'refresh=.5').def,"
                   " RemoveVarMessage.Create('x', 'v').varName,"
                   " ClearBarMessage.Create('c').barName, DeleteBarMessage.Create('d').barName]"
                   ".join()"),
              "-3,9,true,480,refresh=.5,v,c,d");
    // Another argument count creates nothing.
    const size_t inUse = MessagesInUse();
    EXPECT_EQ(Eval("[MouseWheelMessage.Create(), ClearBarMessage.Create('a', 'b'),"
                   " QuittingMessage.Type()].join()"),
              ",,");
    EXPECT_EQ(MessagesInUse(), inUse);
    EXPECT_EQ(ErrorOf("QuittingMessage.Type(5)"),
              "test.js:0:Error in QuittingMessage.Type: argument 1 must be message object, got "
              "a number.");
    EXPECT_EQ(ErrorOf("RegisterAntBarMessage.barName"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_barName.");
}

TEST_F(CoreScript, EnumerationsAreReadOnly) {
    EXPECT_EQ(Eval("MID.MID_QuittingMessage = 5; MID.MID_QuittingMessage"), "16");
    EXPECT_EQ(Eval("[MID.MID_KeyboardMessage, MID.MID_RegisterAntBarMessage,"
                   " KeyState.KS_PRESSED, KeyState.KS_RELEASED].join()"),
              "0,9,0,1");
}

TEST_F(CoreScript, BroadcastHandsTheRecordOverAndEmptiesTheScriptObject) {
    Watcher watcher(*core.messageManager);
    Eval("var m = ClearBarMessage.Create('bar'); Core.BroadcastMessage(m);");
    ASSERT_EQ(watcher.received.size(), 1u);
    EXPECT_EQ(static_cast<ClearBarMessage*>(watcher.received[0].Get())->barName, "bar");
    // The record is the message system's now; the script can no longer reach it.
    EXPECT_EQ(ErrorOf("m.barName"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_barName.");
    EXPECT_NE(ErrorOf("Core.BroadcastMessage(m)"), "");
    EXPECT_EQ(watcher.received.size(), 1u);

    // Delayed: delivered by the message manager's update.
    EXPECT_EQ(Eval("Core.BroadcastMessageDelayed(DeleteBarMessage.Create('d'))"), "undefined");
    Eval("Core.BroadcastMessageDelayed(DeleteBarMessage.Create('d'), 1)");
    core.messageManager->Update(0.5f);
    EXPECT_EQ(watcher.received.size(), 1u);
    core.messageManager->Update(0.5f);
    ASSERT_EQ(watcher.received.size(), 2u);
    EXPECT_EQ(watcher.received[1]->id, static_cast<uint32_t>(MID_DeleteBarMessage));
}

TEST_F(CoreScript, RecordsTheEngineLendsAreReadOnlyDuringTheCall) {
    Watcher watcher(*core.messageManager);
    MessagePointer record(CreateMessage<KeyboardMessage>(KS_PRESSED, 97u, false, true, false));
    Eval("Hook.Instance().callback = function(m) {"
         "  globalThis.kept = m;"
         "  globalThis.seen = [m.key, m.ctrl, KeyboardMessage.Type(m)].join();"
         "  try { Core.BroadcastMessage(m); } catch (e) { globalThis.refused = e.message; } };");
    auto* keyboard = static_cast<KeyboardMessage*>(record.Get());
    EXPECT_TRUE(TheHook().callback.Call({ScriptArg::Borrowed(keyboard)}));
    EXPECT_EQ(Eval("seen"), "97,true,0");
    // Broadcasting it again would free it twice.
    EXPECT_EQ(Eval("refused"), "Error, this KeyboardMessage belongs to the engine and cannot be "
                               "handed over; create a new one.");
    EXPECT_TRUE(watcher.received.empty());
    // Once the call is over the record may be gone: the kept object says so.
    EXPECT_EQ(ErrorOf("kept.key"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_key.");
}

TEST_F(CoreScript, RecordsAScriptDropsGoBackToThePool) {
    host().CollectGarbage();
    const size_t inUse = MessagesInUse();
    Eval("for (var i = 0; i < 500; ++i) TWDefineMessage.Create('bar', 'x');");
    EXPECT_EQ(MessagesInUse(), inUse + 500);
    host().CollectGarbage();
    EXPECT_EQ(MessagesInUse(), inUse);
}

TEST_F(CoreScript, GarbageCollectorIntervalIsSetFromScript) {
    JSGarbageCollectorSystem& gc = *core.JSGarbageCollectorSystem_;
    EXPECT_EQ(Eval("core.JSGarbageCollectorSystem_.garbageCollectEveryXFrames"), "50");
    Eval("core.JSGarbageCollectorSystem_.garbageCollectEveryXFrames = 3");
    EXPECT_EQ(gc.garbageCollectEveryXFrames, 3u);

    JSContext* cx = host().GetContext();
    const uint32_t before = JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER);
    std::vector<uint32_t> collected;
    for (int frame = 0; frame < 7; ++frame) {
        const uint32_t start = JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER);
        gc.Update(0.016f);
        if (JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER) != start)
            collected.push_back(frame + 1);
    }
    EXPECT_EQ(collected, (std::vector<uint32_t>{1, 4, 7}));
    EXPECT_EQ(JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER) - before, 3u);
    EXPECT_EQ(ErrorOf("JSGarbageCollectorSystem.garbageCollectEveryXFrames = 1"),
              "test.js:0:Error, Private data could not be retrieved in "
              "JSSet_garbageCollectEveryXFrames.");
}

// Start-up runs the host's scripts from the resource folder around the
// systems' initialisation.
class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "start-up opens the window; run under xvfb-run";
        dir = std::filesystem::temp_directory_path() /
              ("marrowvale-startup-" + std::to_string(::getpid()));
        std::filesystem::create_directories(dir / "Scripts");
    }
    void TearDown() override {
        if (!dir.empty())
            std::filesystem::remove_all(dir);
    }
    void Write(const std::string& name, const std::string& source) {
        std::ofstream(dir / "Scripts" / name) << source;
    }
    std::filesystem::path dir;
};

TEST_F(StartUp, RunsStartupBeforeTheSystemsAndPostInitAfter) {
    Write("startup.js", "var order = ['startup ' + Core.Instance().objectManager.NewObject() +"
                        " ' ' + Core.Instance().objectManager.numGameObjects];");
    Write("postInit.js", "order.push('postInit ' + Core.Instance().objectManager.numGameObjects);");
    Core& core = Core::Instance();
    core.SetResourceDir(dir.string());
    core.Init();
    std::string order;
    ASSERT_TRUE(ScriptHost::Instance().Evaluate("order.join()", "check.js", &order));
    // The count is zeroed between the two, as start-up documents.
    EXPECT_EQ(order, "startup [object GameObject] 1,postInit 0");
}

TEST_F(StartUp, AMissingScriptIsReportedAndStartUpGoesOn) {
    Write("postInit.js", "var postInitRan = true;");
    Core& core = Core::Instance();
    core.SetResourceDir(dir.string());
    ::testing::internal::CaptureStderr();
    core.Init();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find((dir / "Scripts/startup.js").string() + ":0:cannot open the script file"),
              std::string::npos)
        << err;
    std::string ran;
    ASSERT_TRUE(ScriptHost::Instance().Evaluate("postInitRan", "check.js", &ran));
    EXPECT_EQ(ran, "true");
}

TEST(ResourceScripts, TheRepositorysOwnScriptsRunCleanly) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "start-up opens the window; run under xvfb-run";
    Core& core = Core::Instance();
    core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
    ::testing::internal::CaptureStderr();
    core.Init();
    core.RunFrame();
    // Script errors are reported there as "file.js:line:message"; other
    // libraries may write their own notes.
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(err.find(".js:"), std::string::npos) << err;
    EXPECT_EQ(err.find("<no fileName=>"), std::string::npos) << err;
    EXPECT_GT(core.objectManager->numGameObjects, 0u);
}

} // namespace
