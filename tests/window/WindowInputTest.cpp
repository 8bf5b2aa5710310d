// Real keyboard and pointer input through the X server. These tests move the
// server's one pointer and focus, so ctest runs them one at a time.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "messaging/Message.h"
#include "window/KeyCodes.h"
#include "window/WindowTestSupport.h"

// Last: its macros (None, Status, ...) clash with names in the SFML headers.
#include <X11/Xlib.h>

namespace {

class WindowInput : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        // Smaller than the screen, so the pointer can wait outside it and the
        // first motion inside is a known one.
        window->initialWidth = 640;
        window->initialHeight = 480;
        window->Initialize();
        Xdotool("mousemove 1000 700");
        Settle();
        recorder->received.clear();
    }

    void Xdotool(const std::string& arguments) {
        const std::string id = std::to_string(window->GetWindow().getSystemHandle());
        std::string command = "xdotool " + arguments;
        for (std::size_t at; (at = command.find("$W")) != std::string::npos;)
            command.replace(at, 2, id);
        ASSERT_EQ(std::system(command.c_str()), 0) << command;
    }

    // The keyboard message with this state and key; fails the test if none.
    KeyboardMessage Key(std::uint32_t state, std::uint32_t key) const {
        for (const KeyboardMessage& m : recorder->All<KeyboardMessage>())
            if (m.state == state && m.key == key)
                return m;
        ADD_FAILURE() << "no key " << key << " in state " << state;
        return KeyboardMessage(state, key, false, false, false);
    }

    bool Received(std::uint32_t state, std::uint32_t key) const {
        const auto keys = recorder->All<KeyboardMessage>();
        return std::any_of(keys.begin(), keys.end(), [&](const KeyboardMessage& m) {
            return m.state == state && m.key == key;
        });
    }
};

TEST_F(WindowInput, KeysArriveWithEngineCodesModifiersAndText) {
    Xdotool("key --window $W a Escape shift+b ctrl+alt+x");
    ASSERT_TRUE(PumpUntil([&] { return Received(KS_RELEASED, 'x'); }));
    const KeyboardMessage a = Key(KS_PRESSED, 'a');
    EXPECT_FALSE(a.alt || a.ctrl || a.shift);
    EXPECT_TRUE(Received(KS_RELEASED, 'a'));
    EXPECT_TRUE(Received(KS_PRESSED, kKeyEscape));
    EXPECT_TRUE(Received(KS_PRESSED, 258)); // LShift
    const KeyboardMessage b = Key(KS_PRESSED, 'b');
    EXPECT_TRUE(b.shift && !b.alt && !b.ctrl);
    const KeyboardMessage x = Key(KS_PRESSED, 'x');
    EXPECT_TRUE(x.ctrl && x.alt && !x.shift);

    const auto text = recorder->All<TextEnteredMessage>();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[0].unicode, 'a');
    EXPECT_EQ(text[1].unicode, 0x1bu); // Escape
}

TEST_F(WindowInput, IsKeyDownFollowsAHeldKey) {
    Xdotool("keydown --window $W a");
    ASSERT_TRUE(PumpUntil([&] { return Received(KS_PRESSED, 'a'); }));
    EXPECT_TRUE(window->IsKeyDown('a'));
    EXPECT_FALSE(window->IsKeyDown('b'));
    Xdotool("keyup --window $W a");
    ASSERT_TRUE(PumpUntil([&] { return Received(KS_RELEASED, 'a'); }));
    EXPECT_FALSE(window->IsKeyDown('a'));
    EXPECT_FALSE(window->IsKeyDown(kKeyCount));
    EXPECT_FALSE(window->IsKeyDown(UINT32_MAX));
}

TEST_F(WindowInput, MouseMotionButtonsAndWheel) {
    Xdotool("mousemove --window $W 100 50");
    ASSERT_TRUE(PumpUntilReceived<MouseMotionMessage>());
    Xdotool("mousemove --window $W 130 70");
    ASSERT_TRUE(PumpUntil([&] { return recorder->All<MouseMotionMessage>().back().x == 130; }));
    const auto moves = recorder->All<MouseMotionMessage>();
    // The first motion is measured from (0, 0).
    EXPECT_EQ(moves.front().xRel, 100);
    EXPECT_EQ(moves.front().yRel, 50);
    EXPECT_EQ(moves.back().xRel, 30);
    EXPECT_EQ(moves.back().yRel, 20);
    EXPECT_EQ(window->GetMousePos(), sf::Vector2i(130, 70));

    Xdotool("click 3 mousedown 1");
    ASSERT_TRUE(PumpUntilReceived<MouseButtonMessage>(3));
    const auto buttons = recorder->All<MouseButtonMessage>();
    EXPECT_EQ(buttons[0].index, 1u); // right
    EXPECT_EQ(buttons[0].state, KS_PRESSED);
    EXPECT_EQ(buttons[1].state, KS_RELEASED);
    EXPECT_EQ(buttons[2].index, 0u);
    EXPECT_EQ(buttons[2].mousePos[0], 130);
    EXPECT_EQ(buttons[2].mousePos[1], 70);
    EXPECT_TRUE(window->IsMouseButtonDown(0));
    EXPECT_FALSE(window->IsMouseButtonDown(1));
    EXPECT_FALSE(window->IsMouseButtonDown(5));
    Xdotool("mouseup 1");
    ASSERT_TRUE(PumpUntilReceived<MouseButtonMessage>(4));
    EXPECT_FALSE(window->IsMouseButtonDown(0));

    Xdotool("click 4 click 5");
    ASSERT_TRUE(PumpUntilReceived<MouseWheelMessage>(2));
    Settle(0.1);
    const auto wheel = recorder->All<MouseWheelMessage>();
    ASSERT_EQ(wheel.size(), 2u) << "one message per step";
    EXPECT_EQ(wheel[0].delta, 1);
    EXPECT_EQ(wheel[1].delta, -1);
}

TEST_F(WindowInput, TweakBarsConsumeTheEventsTheyClaim) {
    int offered = 0;
    window->SetTweakBarEventHandler([&](const sf::Event& event) {
        ++offered;
        return event.type == sf::Event::MouseButtonPressed ||
               event.type == sf::Event::MouseButtonReleased;
    });
    Xdotool("mousemove --window $W 20 20 click 1");
    ASSERT_TRUE(PumpUntilReceived<MouseMotionMessage>());
    Settle();
    EXPECT_TRUE(recorder->All<MouseButtonMessage>().empty());

    window->handleTweakBarMessages = false;
    offered = 0;
    Xdotool("click 1");
    ASSERT_TRUE(PumpUntilReceived<MouseButtonMessage>(2));
    EXPECT_EQ(offered, 0);
}

// Full screen gives way when the focus goes elsewhere and returns with it.
class WindowFullScreen : public WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        recorder->onMessage = [&](const MessagePointer& message) {
            if (!message.As<VideoSizeChangeMessage>())
                return;
            // A new window also announces its size by itself; count each
            // full-screen state once.
            if (states.empty() || states.back() != window->fullScreen)
                states.push_back(window->fullScreen);
        };
        window->fullScreen = true;
        window->Initialize();
    }

    std::vector<bool> states; // full-screen states in which sizes were announced
};

TEST_F(WindowFullScreen, FocusReportsOfANewWindowDoNotToggleIt) {
    // Every new window reports losing and then gaining the focus; taken at
    // face value, that would leave and re-enter full screen for ever.
    Settle(0.3);
    EXPECT_TRUE(window->fullScreen);
    EXPECT_FALSE(window->IsMinimizedFromFullScreen());
    EXPECT_EQ(states, std::vector<bool>{true});
}

TEST_F(WindowFullScreen, LosingTheFocusLeavesFullScreenAndRegainingItReturns) {
    Settle(0.2);
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    const Window other =
        XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 100, 100, 0, 0, 0);
    XMapRaised(display, other);
    XSetInputFocus(display, other, RevertToParent, CurrentTime);
    XSync(display, False);

    // The windowed window that replaces the full-screen one takes the focus
    // as it is created (no window manager refuses it), so full screen returns.
    EXPECT_TRUE(PumpUntil([&] { return states.size() >= 3; }));
    Settle(0.3);
    EXPECT_EQ(states, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(window->fullScreen);
    EXPECT_EQ(window->GetStyle(), WindowSystem::kWindowedStyle | WindowSystem::kFullScreenBit);
    EXPECT_FALSE(window->IsMinimizedFromFullScreen());
    XDestroyWindow(display, other);
    XCloseDisplay(display);
}

} // namespace
