#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
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
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "physics/PhysicsSystem.h"
#include "script/JSGarbageCollectorSystem.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowSystem.h"

namespace {

std::vector<std::string> updates;
std::function<void(const std::string&)> onUpdate;

template <class Base> class Recorder : public Base {
  public:
    template <class... A>
    Recorder(const char* name, A&&... args) : Base(std::forward<A>(args)...), name(name) {}
    void Update(float) override {
        updates.push_back(name);
        if (onUpdate)
            onUpdate(name);
    }
    const char* name;
};

// Watches the broadcasts the core makes.
class Watcher : public MessageListener {
  public:
    explicit Watcher(MessageManager& messages) {
        listener = new MessageListener::MessageListenerDerived<Watcher>(this);
        messages.AddListener(*this, 0);
    }
    void HandleMessage(const MessagePointer& message) { ids.push_back(message->id); }
    std::vector<uint32_t> ids;
};

class CoreFrame : public ::testing::Test {
  protected:
    void SetUp() override {
        updates.clear();
        onUpdate = nullptr;
        MessageManager& m = *core.messageManager;
        core.AntBarSystem_ = new Recorder<AntBarSystem>("AntBar", m);
        core.WindowSystem_ = new Recorder<WindowSystem>("Window", m);
        core.GraphicsSystem_ = new Recorder<GraphicsSystem>("Graphics", m);
        core.GameLogicSystem_ = new Recorder<GameLogicSystem>("GameLogic", m);
        core.PhysicsSystem_ = new Recorder<PhysicsSystem>("Physics", m);
        core.JSGarbageCollectorSystem_ =
            new Recorder<JSGarbageCollectorSystem>("JSGarbageCollector");
        core.DevConsoleSystem_ = new Recorder<DevConsoleSystem>("DevConsole", m);
        core.SoundSystem_ = new Recorder<SoundSystem>("Sound", m);
        watcher = new Watcher(m);
        core.running = true;
    }

    Core& core = Core::Instance();
    Watcher* watcher = nullptr;
};

const std::vector<std::string> kFrameOrder = {
    "AntBar", "GameLogic",          "Physics", "Graphics", "DevConsole",
    "Window", "JSGarbageCollector", "Sound"};

TEST_F(CoreFrame, UpdatesEverySystemOnceInTheFixedOrder) {
    core.RunFrame();
    EXPECT_EQ(updates, kFrameOrder);
}

TEST_F(CoreFrame, QuitDuringGameLogicLetsTheRestOfTheFrameRunThenStops) {
    onUpdate = [&](const std::string& name) {
        if (name == "GameLogic")
            core.Quit();
    };
    core.MainLoop();
    EXPECT_EQ(updates, kFrameOrder);
    EXPECT_FALSE(core.running);
    ASSERT_EQ(watcher->ids.size(), 1u);
    EXPECT_EQ(watcher->ids[0], static_cast<uint32_t>(MID_QuittingMessage));
}

TEST_F(CoreFrame, ClearingRunningStopsAfterTheFrameWithoutAQuittingMessage) {
    onUpdate = [&](const std::string& name) {
        if (name == "Physics")
            core.running = false;
    };
    core.MainLoop();
    EXPECT_EQ(updates, kFrameOrder);
    EXPECT_TRUE(watcher->ids.empty());
}

TEST_F(CoreFrame, FrameLimitStopsAfterExactlyThatManyFrames) {
    core.SetFrameLimit(3);
    core.MainLoop();
    EXPECT_EQ(updates.size(), 3 * kFrameOrder.size());
    EXPECT_EQ(core.GetFrameCount(), 3u);
}

TEST_F(CoreFrame, DelayedMessagesArriveAfterTheSystemsOfTheirFrame) {
    onUpdate = [&](const std::string& name) {
        if (name == "Sound") {
            EXPECT_TRUE(watcher->ids.empty()) << "delivered before the frame's systems finished";
        }
    };
    core.BroadcastMessageDelayed(CreateMessage<QuittingMessage>(), -1.0f);
    core.RunFrame();
    EXPECT_EQ(watcher->ids, std::vector<uint32_t>{MID_QuittingMessage});
}

TEST_F(CoreFrame, ProfilingTimesEachSystemOnlyWhileSwitchedOn) {
    onUpdate = [](const std::string&) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    };
    core.RunFrame();
    for (float t : core.systemTimes)
        EXPECT_EQ(t, 0.0f);

    core.ToggleProfileWindow();
    EXPECT_TRUE(core.profiling);
    core.RunFrame();
    for (float t : core.systemTimes) {
        EXPECT_GE(t, 1.5f);
        EXPECT_LT(t, 1000.0f) << "milliseconds, not microseconds";
    }

    core.ToggleProfileWindow();
    EXPECT_FALSE(core.profiling);
    core.RunFrame();
    for (float t : core.systemTimes)
        EXPECT_EQ(t, 0.0f);
    // Two toggles: shown, then hidden again.
    EXPECT_EQ(watcher->ids,
              (std::vector<uint32_t>{MID_SetBarVisibleMessage, MID_SetBarVisibleMessage}));
}

TEST_F(CoreFrame, FpsIsTheInverseOfTheFrameTime) {
    onUpdate = [](const std::string& name) {
        if (name == "Sound")
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    core.RunFrame(); // this frame's dt is from construction; the next one is ~20 ms
    core.RunFrame();
    EXPECT_GT(core.fps, 10.0f);
    EXPECT_LT(core.fps, 50.0f);
}

TEST(CoreStartup, InitBroadcastsTheHiddenProfileBar) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "start-up opens the window; run under xvfb-run";
    Core& core = Core::Instance();
    Watcher watcher(*core.messageManager);
    core.Init();
    EXPECT_TRUE(core.running);
    // The window announces its size as it opens; the bar comes after it.
    watcher.ids.erase(std::remove(watcher.ids.begin(), watcher.ids.end(),
                                  static_cast<uint32_t>(MID_VideoSizeChangeMessage)),
                      watcher.ids.end());
    std::vector<uint32_t> expected = {MID_RegisterAntBarMessage};
    expected.insert(expected.end(), 9, MID_AddVarMessage);
    expected.push_back(MID_TWDefineMessage);
    expected.push_back(MID_SetBarVisibleMessage);
    EXPECT_EQ(watcher.ids, expected);
    EXPECT_FALSE(core.profiling);
}

TEST(CoreErrorBox, PrefixesFileAndLineAndFallsBackToADefaultText) {
    testing::internal::CaptureStderr();
    EXPECT_TRUE(Core::ShowErrorBox(42, "graphics.cpp", "OpenGL %s missing", "3.3"));
    EXPECT_TRUE(Core::ShowErrorBox(0, "", nullptr));
    const std::string out = testing::internal::GetCapturedStderr();
    EXPECT_NE(out.find("graphics.cpp(42) : OpenGL 3.3 missing"), std::string::npos) << out;
    EXPECT_NE(out.find("(0) : No Error Message"), std::string::npos) << out;
}

TEST(CoreErrorBox, CutsALongMessageToTheBuffer) {
    const std::string huge(5000, 'x');
    testing::internal::CaptureStderr();
    Core::ShowErrorBox(7, "f", "%s", huge.c_str());
    const std::string out = testing::internal::GetCapturedStderr();
    const size_t start = out.find("f(7) : ");
    ASSERT_NE(start, std::string::npos);
    const size_t xs = out.find_last_of('x') - out.find('x') + 1;
    EXPECT_EQ(std::string("f(7) : ").size() + xs, 1023u);
}

} // namespace
