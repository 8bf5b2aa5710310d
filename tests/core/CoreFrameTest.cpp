#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "audio/SoundSystem.h"
#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageIdLog.h"
#include "physics/PhysicsSystem.h"
#include "script/JSGarbageCollectorSystem.h"
#include "script/ScriptHost.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowSystem.h"

namespace {

std::vector<std::string> updates;
std::function<void(const std::string&)> onUpdate;

// A system that logs its name and runs the test's hook instead of updating.
template <class Base> struct Recorder : Base {
    template <class... A>
    Recorder(const char* name, A&&... args) : Base(std::forward<A>(args)...), name(name) {}
    void Update(float) override {
        updates.push_back(name);
        onUpdate(name);
    }
    const char* name;
};

class CoreFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        updates.clear();
        onUpdate = [](const std::string&) {};
        MessageManager& m = *core.messageManager;
        Replace(core.AntBarSystem_, new Recorder<AntBarSystem>("AntBar", m));
        Replace(core.WindowSystem_, new Recorder<WindowSystem>("Window", m));
        Replace(core.GraphicsSystem_, new Recorder<GraphicsSystem>("Graphics", m));
        Replace(core.GameLogicSystem_, new Recorder<GameLogicSystem>("GameLogic", m));
        Replace(core.PhysicsSystem_, new Recorder<PhysicsSystem>("Physics", m));
        Replace(core.JSGarbageCollectorSystem_,
                new Recorder<JSGarbageCollectorSystem>("JSGarbageCollector"));
        Replace(core.DevConsoleSystem_, new Recorder<DevConsoleSystem>("DevConsole", m));
        Replace(core.SoundSystem_, new Recorder<SoundSystem>("Sound", m));
        core.running = true;
    }

    // The core's own system goes, listener and all: a leak-checking run
    // would otherwise report every system the fixture displaced.
    template <class T, class R> void Replace(T*& slot, R* recorder) {
        if constexpr (std::is_base_of_v<MessageListener, T>)
            core.messageManager->RemoveListener(slot->listener);
        delete slot;
        slot = recorder;
    }

    Core& core = Core::Instance();
    MessageIdLog watcher{*core.messageManager}; // the broadcasts the core makes
};

const std::vector<std::string> kFrameOrder = {
    "AntBar", "GameLogic",          "Physics", "Graphics", "DevConsole",
    "Window", "JSGarbageCollector", "Sound"};

TEST_F(CoreFrame, SystemsRunInTheFixedOrderAndTheLoopStopsOnlyAtTheEndOfAFrame) {
    core.SetFrameLimit(3);
    core.MainLoop();
    ASSERT_EQ(updates.size(), 3 * kFrameOrder.size());
    EXPECT_EQ(std::vector<std::string>(updates.begin(), updates.begin() + kFrameOrder.size()),
              kFrameOrder);
    EXPECT_EQ(core.GetFrameCount(), 3u);

    // Quit, or clearing `running`, lets the rest of the frame run; only Quit
    // says so to the listeners.
    core.SetFrameLimit(0);
    for (bool quit : {true, false}) {
        updates.clear();
        core.running = true;
        onUpdate = [&](const std::string& name) {
            if (name == "Physics")
                quit ? core.Quit() : void(core.running = false);
        };
        core.MainLoop();
        EXPECT_EQ(updates, kFrameOrder) << quit;
        EXPECT_FALSE(core.running);
        EXPECT_EQ(watcher.ids, std::vector<uint32_t>(quit, MID_QuittingMessage)) << quit;
        watcher.ids.clear();
    }

    // Delayed messages arrive after the systems of their frame.
    onUpdate = [&](const std::string& name) {
        if (name == "Sound") {
            EXPECT_TRUE(watcher.ids.empty()) << "delivered before the frame's systems finished";
        }
    };
    core.BroadcastMessageDelayed(CreateMessage<QuittingMessage>(), -1.0f);
    core.RunFrame();
    EXPECT_EQ(watcher.ids, std::vector<uint32_t>{MID_QuittingMessage});
}

TEST_F(CoreFrame, ProfilingTimesEachSystemOnlyWhileSwitchedOnAndFpsIsTheInverseFrameTime) {
    onUpdate = [](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    core.RunFrame();
    core.ToggleProfileWindow();
    core.RunFrame(); // the previous frame slept 8 * 2 ms
    for (float t : core.systemTimes) {
        EXPECT_GE(t, 1.5f);
        EXPECT_LT(t, 1000.0f) << "milliseconds, not microseconds";
    }
    EXPECT_GT(core.fps, 10.0f);
    EXPECT_LT(core.fps, 63.0f);

    core.ToggleProfileWindow();
    core.RunFrame();
    for (float t : core.systemTimes)
        EXPECT_EQ(t, 0.0f);
    // Two toggles: shown, then hidden again.
    EXPECT_EQ(watcher.ids,
              (std::vector<uint32_t>{MID_SetBarVisibleMessage, MID_SetBarVisibleMessage}));
}

// What a collection leaves for scripts (finalization cleanups) runs within
// the frame, not whenever a script happens to be called next; a weak
// reference lets its target go with it.
TEST_F(CoreFrame, ScriptJobsQueuedDuringTheFrameRunBeforeItEnds) {
    ScriptHost& host = ScriptHost::Instance();
    ASSERT_TRUE(host.Initialize());
    ASSERT_TRUE(host.Evaluate("var held = [];"
                              "var registry = new FinalizationRegistry(function (v) {"
                              "  held.push(v); });"
                              "var ref = (function () { var o = {}; registry.register(o, 'gone');"
                              "  return new WeakRef(o); })();",
                              "frame.js"));
    onUpdate = [&](const std::string& name) {
        if (name == "JSGarbageCollector")
            host.CollectGarbage();
    };
    core.RunFrame();
    std::string held;
    ASSERT_TRUE(host.Evaluate("[ref.deref(), held].join()", "frame.js", &held));
    EXPECT_EQ(held, ",gone");
}

TEST(CoreErrorBox, PrefixesFileAndLineFallsBackToADefaultTextAndCutsToTheBuffer) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Core::ShowErrorBox(42, "graphics.cpp", "OpenGL %s missing", "3.3"));
    EXPECT_TRUE(Core::ShowErrorBox(0, "", nullptr));
    Core::ShowErrorBox(7, "f", "%s", std::string(5000, 'x').c_str());
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("graphics.cpp(42) : OpenGL 3.3 missing"), std::string::npos) << out;
    EXPECT_NE(out.find("(0) : No Error Message"), std::string::npos) << out;
    ASSERT_NE(out.find("f(7) : x"), std::string::npos);
    const size_t xs = out.find_last_of('x') - out.find('x', out.find("f(7) : ")) + 1;
    EXPECT_EQ(std::string("f(7) : ").size() + xs, 1023u);
}

} // namespace
