// The developer console in a real window, typed into through the X server
// and checked by what it draws. These tests move the server's focus, so ctest
// runs them one at a time.
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include "core/Core.h"
#include "script/ScriptTestSupport.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowTestSupport.h"

namespace {

const sf::Color kScene(90, 140, 200); // what the game drew before the console

// Drawn pixels of one frame, as boxes: where the console's white text is, and
// how much of the frame it darkened.
struct FrameReading {
    int textTop = -1, textBottom = -1, textLeft = -1;
    int unchanged = 0, darkened = 0;
};

class DevConsoleInput : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        window->initialWidth = 640;
        window->initialHeight = 480;
        ASSERT_TRUE(host().Initialize());
        host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Scripts/startup.js");
        window->Initialize();
        console->Initialize();
        ASSERT_TRUE(console->IsFontLoaded());
        Core::Instance().running = true;
        Settle();
    }

    // Sends keys or types text into the window, 20 ms apart.
    void Xdotool(const std::string& command, const std::string& what) {
        const std::string line = "xdotool " + command + " --delay 20 --window " +
                                 std::to_string(window->GetWindow().getSystemHandle()) + " " + what;
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
    }
    void Key(const std::string& keys) { Xdotool("key", keys); }
    void TypeText(const std::string& text) { Xdotool("type", "'" + text + "'"); }

    // One frame as the core runs it: the scene, the console over it, then the
    // window's events and present. The frame is read before it is presented.
    FrameReading Frame() {
        sf::RenderWindow& target = window->GetWindow();
        target.clear(kScene);
        console->Update(0.016f);
        const sf::Image image = window->CaptureFrame();
        window->Update(0.016f);
        FrameReading reading;
        const sf::Vector2u size = image.getSize();
        for (unsigned y = 0; y < size.y; ++y)
            for (unsigned x = 0; x < size.x; ++x) {
                const sf::Color c = image.getPixel(x, y);
                if (c.r > 200 && c.g > 200 && c.b > 200) {
                    if (reading.textTop < 0)
                        reading.textTop = static_cast<int>(y);
                    reading.textBottom = static_cast<int>(y);
                    if (reading.textLeft < 0 || static_cast<int>(x) < reading.textLeft)
                        reading.textLeft = static_cast<int>(x);
                } else if (c == kScene) {
                    ++reading.unchanged;
                } else if (c.r < kScene.r / 2 && c.g < kScene.g / 2 && c.b < kScene.b / 2) {
                    ++reading.darkened;
                }
            }
        return reading;
    }

    bool FramesUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 300; ++i) {
            Frame();
            if (done())
                return true;
        }
        return false;
    }

    bool OutputEndsWith(const std::string& text) const {
        const std::string& out = console->GetOutput();
        return out.size() >= text.size() &&
               out.compare(out.size() - text.size(), text.size(), text) == 0;
    }

    DevConsoleSystem* console = Core::Instance().DevConsoleSystem_;
};

TEST_F(DevConsoleInput, TypedLinesRunRecallAndShowInTheDrawnConsole) {
    if (IsSkipped())
        return;
    const int pixels = 640 * 480;
    FrameReading hidden = Frame();
    EXPECT_EQ(hidden.unchanged, pixels); // a hidden console draws nothing

    Key("grave");
    ASSERT_TRUE(FramesUntil([&] { return console->IsVisible(); }));
    TypeText("1+2");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2"; }));
    // Only the input line (and its cursor) is written, near the bottom, over a
    // darkened frame.
    FrameReading typed = Frame();
    EXPECT_EQ(typed.unchanged, 0);
    EXPECT_GT(typed.darkened, pixels * 9 / 10);
    EXPECT_GE(typed.textTop, 480 - 27);
    EXPECT_LE(typed.textBottom, 480 - 5);
    EXPECT_GE(typed.textLeft, 30);
    EXPECT_LE(typed.textLeft, 34);

    Key("Return");
    ASSERT_TRUE(FramesUntil([&] { return OutputEndsWith("> 1+2\n3\n"); })) << console->GetOutput();
    TypeText("nope");
    Key("Return");
    ASSERT_TRUE(FramesUntil([&] {
        return OutputEndsWith("> nope\nconsole:1:ReferenceError: nope is not defined\n");
    })) << console->GetOutput();

    // Recall the older line, and see the output now reaching down from the top.
    Key("Up Up");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2"; }));
    FrameReading recalled = Frame();
    EXPECT_LT(recalled.textTop, 17);
    EXPECT_GE(recalled.textBottom, 480 - 27);

    // Shift+backquote types a tilde; the backquote alone hides the console.
    Key("shift+grave");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2~"; }));
    Key("grave");
    ASSERT_TRUE(FramesUntil([&] { return !console->IsVisible(); }));
    EXPECT_EQ(Frame().unchanged, pixels);
}

// The sample game quits on Escape, but not while a developer is typing.
TEST_F(DevConsoleInput, TheSampleIgnoresEscapeWhileTheConsoleIsOpen) {
    if (IsSkipped())
        return;
    host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Scripts/sampleInput.js");
    Key("grave");
    ASSERT_TRUE(FramesUntil([&] { return console->IsVisible(); }));
    Key("Escape");
    TypeText("x");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "x"; }));
    EXPECT_TRUE(Core::Instance().running);
    Key("grave Escape");
    EXPECT_TRUE(FramesUntil([&] { return !Core::Instance().running; }));
}

} // namespace
