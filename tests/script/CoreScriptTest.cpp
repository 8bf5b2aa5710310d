// The core, the systems, the messages and start-up, as scripts see them.

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "core/Core.h"
#include "core/System.h"
#include "graphics/GraphicsSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageIdLog.h"
#include "objects/ObjectManager.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/ScriptCallback.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"
#include "window/WindowTestSupport.h"

namespace {

using H = script::ScriptClass<Hook>;
const H hookClass("Hook", {H::Property<&Hook::callback>("callback"),
                           H::Function<&Hook::Instance>("Instance")});

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
    MessageRecorder recorder{*core.messageManager};
};

TEST_F(CoreScript, CoreSystemsAndManagersAreNewWrappersAroundTheEnginesOwn) {
    EXPECT_EQ(Eval("core.stringTest = 'abc'; Core.Instance().stringTest"), "abc");
    EXPECT_FALSE(core.profiling);

    // Stopping the loop from a script (the frame's own rules are the core's tests).
    core.running = true;
    Eval("core.ToggleProfileWindow(); Core.Quit()");
    EXPECT_TRUE(core.profiling);
    EXPECT_FALSE(core.running);
    EXPECT_EQ(recorder.All<QuittingMessage>().size(), 1u);

    // Its systems and managers are new wrappers of their own classes (lists
    // the members that are not).
    EXPECT_EQ(Eval("var classes = {AntBarSystem_: AntBarSystem, WindowSystem_: WindowSystem,"
                   " GraphicsSystem_: GraphicsSystem, GameLogicSystem_: GameLogicSystem,"
                   " PhysicsSystem_: PhysicsSystem, SoundSystem_: SoundSystem,"
                   " JSGarbageCollectorSystem_: JSGarbageCollectorSystem,"
                   " DevConsoleSystem_: DevConsoleSystem, objectManager: ObjectManager,"
                   " messageManager: MessageManager};"
                   "Object.keys(classes).filter(function(k) {"
                   "  return Object.getPrototypeOf(core[k]) !== classes[k] || core[k] === core[k];"
                   "}).join() + (core !== Core.Instance())"),
              "true");
    // The core never loses a manager or a system to a wrong value.
    ObjectManager* manager = core.objectManager;
    EXPECT_EQ(ErrorOf("core.objectManager = core.messageManager"),
              "test.js:1:1: Error in Core.objectManager: the value must be ObjectManager, got a "
              "MessageManager object.");
    EXPECT_EQ(core.objectManager, manager);

    struct BareSystem : Core::System {};
    EXPECT_EQ(BareSystem().GetJSInstance(), nullptr);
    EXPECT_EQ(host().GetLastError(),
              "<no fileName=>: Warning: Calling GetJSInstance of base System");
}

TEST_F(CoreScript, MessagesAreCreatedReadTypedAndHandedOverByBroadcast) {
    EXPECT_EQ(Eval("var m = RegisterAntBarMessage.Create('a bar name of many letters', 200, "
                   "4294967295, 10, 11); [m.barName, m.width, m.height, m.posX, m.posY]"),
              "a bar name of many letters,200,4294967295,10,11");
    // Type reads the record's own kind, whichever class asks.
    EXPECT_EQ(Eval("var b = MouseButtonMessage.Create([3, -4], KeyState.KS_RELEASED, 2);"
                   "[b.mousePos, b.state === KeyState.KS_RELEASED, b.index,"
                   " MouseButtonMessage.Type(b) === MID.MID_MouseButtonMessage,"
                   " KeyboardMessage.Type(MouseMotionMessage.Create(1, 2, 3, 4)) ==="
                   " MID.MID_MouseMotionMessage,"
                   " TextEnteredMessage.Type(m) === MID.MID_RegisterAntBarMessage].join(' ')"),
              "3,-4 true 2 true true true");
    // Another argument count creates nothing.
    const size_t inUse = MessagesInUse();
    EXPECT_EQ(Eval("[MouseWheelMessage.Create(), ClearBarMessage.Create('a', 'b'),"
                   " QuittingMessage.Type()].join()"),
              ",,");
    EXPECT_EQ(MessagesInUse(), inUse);

    // Broadcast hands the record over and empties the script object.
    Eval("m = ClearBarMessage.Create('bar'); Core.BroadcastMessage(m);");
    ASSERT_EQ(recorder.received.size(), 1u);
    EXPECT_EQ(recorder.All<ClearBarMessage>().at(0).barName, "bar");
    // The record is the message system's now; the script can no longer reach it.
    EXPECT_EQ(ErrorOf("m.barName"),
              "test.js:1:1: Error, Private data could not be retrieved in JSGet_barName.");
    EXPECT_NE(ErrorOf("Core.BroadcastMessage(m)"), "");
    EXPECT_EQ(recorder.received.size(), 1u);

    // Delayed: delivered by the message manager's update.
    Eval("Core.BroadcastMessageDelayed(DeleteBarMessage.Create('d'), 1)");
    core.messageManager->Update(0.5f);
    EXPECT_EQ(recorder.received.size(), 1u);
    core.messageManager->Update(0.5f);
    EXPECT_EQ(recorder.All<DeleteBarMessage>().size(), 1u);
}

TEST_F(CoreScript, RecordsTheEngineLendsAreReadOnlyDuringTheCall) {
    MessagePointer record(CreateMessage<KeyboardMessage>(KS_PRESSED, 97u, false, true, false));
    Eval("Hook.Instance().callback = function(m) {"
         "  globalThis.kept = m;"
         "  globalThis.seen = [m.key, m.ctrl, KeyboardMessage.Type(m) === MID.MID_KeyboardMessage];"
         "  try { Core.BroadcastMessage(m); } catch (e) { globalThis.refused = e.message; } };");
    auto* keyboard = static_cast<KeyboardMessage*>(record.Get());
    EXPECT_TRUE(Hook::Instance()->callback.Call({ScriptArg::Borrowed(keyboard)}));
    EXPECT_EQ(Eval("seen.join()"), "97,true,true");
    // Broadcasting it again would free it twice.
    EXPECT_EQ(Eval("refused"), "Error, this KeyboardMessage belongs to the engine and cannot be "
                               "handed over; create a new one.");
    EXPECT_TRUE(recorder.received.empty());
    // Once the call is over the record may be gone: the kept object says so.
    EXPECT_EQ(ErrorOf("kept.key"),
              "test.js:1:1: Error, Private data could not be retrieved in JSGet_key.");
}

// Collections start in the first frame and then every interval, and each is
// spread over the frames after it: one still running when the next is due is
// finished first.
std::string gcEvents;
void NoteGcEvent(JSContext*, JS::GCProgress progress, const JS::GCDescription&) {
    if (progress == JS::GC_CYCLE_BEGIN)
        gcEvents += '[';
    else if (progress == JS::GC_CYCLE_END)
        gcEvents += ']';
}

TEST_F(CoreScript, GarbageCollectorStartsInTheFirstFrameAndThenEveryIntervalInSlices) {
    JSGarbageCollectorSystem& gc = *core.JSGarbageCollectorSystem_;
    JSContext* cx = host().GetContext();
    host().CollectGarbage(); // none running when the frames begin
    const JS::GCSliceCallback previous = JS::SetGCSliceCallback(cx, NoteGcEvent);
    std::string events; // all begins and ends, in order
    auto framesThatStart = [&](int frames) {
        std::string pattern;
        for (int frame = 0; frame < frames; ++frame) {
            gcEvents.clear();
            gc.Update(0.016f);
            pattern += gcEvents.find('[') != std::string::npos ? 'x' : '.';
            events += gcEvents;
        }
        return pattern;
    };
    // Enough live objects that marking them takes more than one slice.
    Eval("var gc = core.JSGarbageCollectorSystem_; gc.garbageCollectEveryXFrames = 3;"
         "var live = []; for (var i = 0; i < 300000; ++i) live.push({ i: i });");
    EXPECT_EQ(framesThatStart(1), "x");
    EXPECT_EQ(events, "[") << "spread over frames, not done in the first";
    EXPECT_EQ(framesThatStart(5), "..x..");
    Eval("gc.garbageCollectEveryXFrames = 0"); // no division by zero: every frame
    EXPECT_EQ(framesThatStart(3), "xxx");
    // One at a time: each begins after the one before has ended.
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i], i % 2 ? ']' : '[') << events;
    Eval("live = null");
    JS::SetGCSliceCallback(cx, previous);
}

// Start-up runs the host's scripts from the resource folder around the
// systems' initialisation.
class StartUp : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "start-up opens the window; run under xvfb-run";
    }
    // Starts up from that folder and runs `frames` frames; `check`'s value.
    std::string Run(const std::string& resourceDir, const std::string& check, int frames = 0) {
        Core::Instance().SetResourceDir(resourceDir);
        ::testing::internal::CaptureStderr();
        Core::Instance().Init();
        while (frames-- > 0)
            Core::Instance().RunFrame();
        err = ::testing::internal::GetCapturedStderr();
        std::string result;
        EXPECT_TRUE(ScriptHost::Instance().Evaluate(check, "check.js", &result));
        return result;
    }
    TempFolder folder;
    std::string err;
};

TEST_F(StartUp, AMissingScriptIsReportedAndStartUpGoesOn) {
    folder.Write("postInit.js", "var postInitRan = true;");
    EXPECT_EQ(Run(folder.path.string(), "postInitRan"), "true");
    EXPECT_NE(
        err.find((folder.path / "Scripts/startup.js").string() + ": cannot open the script file"),
        std::string::npos)
        << err;
}

// A game kept outside the engine's tree names its files "../resource/..." like any other:
// they come from its folder, and the engine's shaders stand in for the ones it lacks.
TEST_F(StartUp, AGameElsewhereRunsStartupBeforeTheSystemsAndPostInitAfterWithItsOwnFiles) {
    std::filesystem::create_directories(folder.path / "Models");
    VoxelModel model;
    model.voxels.resize(3);
    const SaveFolderScope writable(folder.path);
    ASSERT_TRUE(model.SaveToFile((folder.path / "Models/m.vxm").string()));
    folder.Write("more.js", "var more = 'ran';");
    folder.Write("startup.js", "var order = ['startup ' + Core.Instance().objectManager.NewObject()"
                               " + ' ' + Core.Instance().objectManager.numGameObjects];");
    folder.Write("postInit.js",
                 "order.push('postInit ' + Core.Instance().objectManager.numGameObjects);"
                 "Core.Instance().GraphicsSystem_.GetModel('../resource/Models/m.vxm');"
                 "RunFile('../resource/Scripts/more.js');");
    // The count is zeroed between the two, as start-up documents.
    EXPECT_EQ(Run(folder.path.string(), "order.join() + ' ' + more", 1),
              "startup [object GameObject] 1,postInit 0 ran");
    EXPECT_EQ(Core::Instance().GraphicsSystem_->GetModel("../resource/Models/m.vxm")->voxels.size(),
              3u);
    EXPECT_EQ(err.find("[Error]"), std::string::npos) << err;
    EXPECT_TRUE(Core::Instance().running);
}

TEST_F(StartUp, AMissingShaderFileIsReportedAsMissing) {
    const std::filesystem::path shaders = folder.path / "Shaders";
    std::filesystem::copy(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Shaders", shaders);
    std::filesystem::remove(shaders / "constAmbient.fs");
    Run(folder.path.string(), "");
    EXPECT_NE(err.find("Cannot find the shader file " + (shaders / "constAmbient.fs").string()),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find("OpenGL 3.3"), std::string::npos) << err;
    EXPECT_FALSE(Core::Instance().running);
}

// The repository's own scripts run cleanly; destroyed by another program,
// the window then takes the game down cleanly instead of the X library ending
// the process.
TEST_F(StartUp, TheRepositorysGameRunsCleanlyUntilItsWindowIsDestroyedFromOutside) {
    MessageIdLog watcher(*Core::Instance().messageManager);
    Run(std::string(MARROWVALE_SOURCE_DIR) + "/resource", "", 2);
    // The profile bar is registered with its read-outs, then hidden. The game logic's
    // own step-time bar comes before it; the game's scripts may add panels after both.
    const auto bar = [](int reads) {
        std::vector<uint32_t> ids{MID_RegisterAntBarMessage};
        ids.insert(ids.end(), reads, MID_AddVarMessage);
        ids.insert(ids.end(), {MID_TWDefineMessage, MID_SetBarVisibleMessage});
        return ids;
    };
    const auto find = [&](const std::vector<uint32_t>& pattern, auto from) {
        return std::search(from, watcher.ids.end(), pattern.begin(), pattern.end());
    };
    const auto logicBar = find(bar(6), watcher.ids.begin());
    ASSERT_NE(logicBar, watcher.ids.end()) << "six game-logic steps";
    EXPECT_NE(find(bar(9), logicBar + 1), watcher.ids.end())
        << "frame rate and the eight systems, after the game logic's bar";
    EXPECT_EQ(std::count(watcher.ids.begin(), logicBar, MID_RegisterAntBarMessage), 0);
    EXPECT_FALSE(Core::Instance().profiling);
    // Script errors are reported as "file.js:line:message"; other libraries
    // may write their own notes.
    EXPECT_EQ(err.find(".js:"), std::string::npos) << err;
    EXPECT_EQ(err.find("<no fileName=>"), std::string::npos) << err;
    EXPECT_GT(Core::Instance().objectManager->numGameObjects, 0u);

    if (std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is not installed";
    const std::string id =
        std::to_string(Core::Instance().WindowSystem_->GetWindow().getSystemHandle());
    ASSERT_EQ(std::system(("xdotool windowclose " + id).c_str()), 0);
    ::testing::internal::CaptureStderr();
    for (int frame = 0; frame < 500 && Core::Instance().running; ++frame)
        Core::Instance().RunFrame();
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(Core::Instance().running);
    EXPECT_NE(err.find("the window was destroyed from outside"), std::string::npos) << err;
}

} // namespace
