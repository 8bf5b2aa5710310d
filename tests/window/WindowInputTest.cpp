// Real keyboard and pointer input through the X server. These tests move the
// server's one pointer and focus, so ctest runs them one at a time.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "messaging/Message.h"
#include "script/ScriptTestSupport.h"
#include "window/KeyCodes.h"
#include "window/WindowTestSupport.h"

// Last: its macros (None, Status, ...) clash with names in the SFML headers.
#include <X11/Xlib.h>

namespace {

class WindowInput : public WindowTest, protected ScriptRunner {
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
        ASSERT_TRUE(host().Initialize());
        Eval("var ws = Core.Instance().WindowSystem_;");
        Xdotool("mousemove 1000 700");
        Settle();
        recorder->received.clear();
    }

    // The keyboard message with this state and key, if one arrived.
    std::optional<KeyboardMessage> Key(std::uint32_t state, std::uint32_t key) const {
        for (const KeyboardMessage& m : recorder->All<KeyboardMessage>())
            if (m.state == state && m.key == key)
                return m;
        return std::nullopt;
    }
};

// Every check of what is held is made from the engine and from a script, as
// a game polls it with the named codes.
TEST_F(WindowInput, KeysMotionButtonsAndWheelArriveAsEngineMessagesAndTweakBarsTakeTheirOwn) {
    Xdotool("key --window $W a Escape shift+b ctrl+alt+x");
    ASSERT_TRUE(PumpUntil([&] { return Key(KS_RELEASED, 'x').has_value(); }));
    const auto a = Key(KS_PRESSED, 'a'), b = Key(KS_PRESSED, 'b'), x = Key(KS_PRESSED, 'x');
    ASSERT_TRUE(a && b && x && Key(KS_RELEASED, 'a'));
    EXPECT_TRUE(Key(KS_PRESSED, kKeyEscape) && Key(KS_PRESSED, 258)); // 258: LShift
    EXPECT_FALSE(a->alt || a->ctrl || a->shift);
    EXPECT_TRUE(b->shift && !b->alt && !b->ctrl);
    EXPECT_TRUE(x->ctrl && x->alt && !x->shift);
    const auto text = recorder->All<TextEnteredMessage>();
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text[0].unicode, 'a');
    EXPECT_EQ(text[1].unicode, 0x1bu); // Escape

    recorder->received.clear();
    Xdotool("keydown --window $W a");
    ASSERT_TRUE(PumpUntil([&] { return Key(KS_PRESSED, 'a').has_value(); }));
    EXPECT_TRUE(window->IsKeyDown('a'));
    EXPECT_FALSE(window->IsKeyDown('b') || window->IsKeyDown(kKeyCount) ||
                 window->IsKeyDown(UINT32_MAX));
    EXPECT_EQ(Eval("[ws.IsKeyDown(Code.A), ws.IsKeyDown(Code.B), ws.IsKeyDown(Code.Count)]"),
              "true,false,false");
    // While a holder (the open console, a focused text field) has the keyboard, no key is down.
    window->SetKeyboardCapture("test", [] { return true; });
    EXPECT_EQ(Eval("[ws.IsKeyboardCaptured(), ws.IsKeyDown(Code.A)]"), "true,false");
    window->SetKeyboardCapture("test", nullptr);
    EXPECT_TRUE(window->IsKeyDown('a'));
    Xdotool("keyup --window $W a");
    ASSERT_TRUE(PumpUntil([&] { return Key(KS_RELEASED, 'a').has_value(); }));
    EXPECT_EQ(Eval("ws.IsKeyDown(Code.A)"), "false");

    Xdotool("mousemove --window $W 100 50");
    ASSERT_TRUE(PumpUntilReceived<MouseMotionMessage>());
    Xdotool("mousemove --window $W 130 70");
    ASSERT_TRUE(PumpUntil([&] { return recorder->All<MouseMotionMessage>().back().x == 130; }));
    const auto moves = recorder->All<MouseMotionMessage>();
    // The first motion is measured from (0, 0).
    EXPECT_EQ(sf::Vector2i(moves.front().xRel, moves.front().yRel), sf::Vector2i(100, 50));
    EXPECT_EQ(sf::Vector2i(moves.back().xRel, moves.back().yRel), sf::Vector2i(30, 20));
    EXPECT_EQ(Eval("ws.GetMousePos()"), "130,70");

    Xdotool("click 3 mousedown 1");
    ASSERT_TRUE(PumpUntilReceived<MouseButtonMessage>(3));
    const auto buttons = recorder->All<MouseButtonMessage>();
    EXPECT_EQ(buttons[0].index, 1u); // right
    EXPECT_EQ(buttons[0].state, KS_PRESSED);
    EXPECT_EQ(buttons[1].state, KS_RELEASED);
    EXPECT_EQ(buttons[2].index, 0u);
    EXPECT_EQ(sf::Vector2i(buttons[2].mousePos[0], buttons[2].mousePos[1]), sf::Vector2i(130, 70));
    EXPECT_FALSE(window->IsMouseButtonDown(5));
    EXPECT_EQ(Eval("[ws.IsMouseButtonDown(Button.Left), ws.IsMouseButtonDown(Button.Right)]"),
              "true,false");
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

    // Tweak bars consume the events they claim, unless switched off.
    int offered = 0;
    window->SetTweakBarEventHandler([&](const sf::Event& event) {
        ++offered;
        return event.type == sf::Event::MouseButtonPressed ||
               event.type == sf::Event::MouseButtonReleased;
    });
    recorder->received.clear();
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
using WindowFullScreen = WindowTest;

TEST_F(WindowFullScreen, LosingTheFocusLeavesFullScreenAndRegainingItReturns) {
    std::vector<bool> states; // full-screen states in which sizes were announced
    recorder->onMessage = [&](const MessagePointer& message) {
        // A new window also announces its size by itself; count each state once.
        if (message.As<VideoSizeChangeMessage>() &&
            (states.empty() || states.back() != window->fullScreen))
            states.push_back(window->fullScreen);
    };
    window->fullScreen = true;
    window->Initialize();
    // Every new window reports losing and then gaining the focus; taken at
    // face value, that would leave and re-enter full screen for ever.
    Settle(0.3);
    EXPECT_EQ(states, std::vector<bool>{true});
    EXPECT_FALSE(window->IsMinimizedFromFullScreen());

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
