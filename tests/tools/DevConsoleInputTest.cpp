// The developer console in a real window, typed into through the X server
// and checked by what it draws. It moves the server's focus, so ctest runs it
// alone.
#include "script/ScriptTestSupport.h"
#include "tools/DevConsoleSystem.h"
#include "window/WindowTestSupport.h"

namespace {

const sf::Color kScene(90, 140, 200); // what the game drew before the console

// Where one frame has white text, and how much of it is untouched or darkened.
struct FrameReading {
    int textTop = -1, textBottom = -1, textLeft = 1 << 30;
    int unchanged = 0, darkened = 0;
};

class DevConsoleInput : public WindowTest, protected ScriptRunner {
  protected:
    void Key(const std::string& keys) { Xdotool("key", keys); }
    void TypeText(const std::string& text) { Xdotool("type", "'" + text + "'"); }
    void Xdotool(const std::string& command, const std::string& what) {
        const std::string line = "xdotool " + command + " --delay 20 --window " +
                                 std::to_string(window->GetWindow().getSystemHandle()) + " " + what;
        ASSERT_EQ(std::system(line.c_str()), 0) << line;
    }

    // One frame as the core runs it: the scene, the console over it, then the
    // window's events and present. It is read before it is presented.
    FrameReading Frame() {
        window->GetWindow().clear(kScene);
        console->Update(0.016f);
        const sf::Image image = window->CaptureFrame();
        window->Update(0.016f);
        FrameReading r;
        for (unsigned y = 0; y < image.getSize().y; ++y)
            for (unsigned x = 0; x < image.getSize().x; ++x) {
                const sf::Color c = image.getPixel(x, y);
                if (c.r > 200 && c.g > 200 && c.b > 200) {
                    r.textTop = r.textTop < 0 ? int(y) : r.textTop;
                    r.textBottom = int(y);
                    r.textLeft = std::min(r.textLeft, int(x));
                }
                r.unchanged += c == kScene;
                r.darkened += c.r < kScene.r / 2 && c.g < kScene.g / 2 && c.b < kScene.b / 2;
            }
        return r;
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
        return out.size() >= text.size() && out.substr(out.size() - text.size()) == text;
    }

    DevConsoleSystem* console = Core::Instance().DevConsoleSystem_;
};

TEST_F(DevConsoleInput, TypedLinesRunRecallAndShowWhileTheSampleKeepsOffEscape) {
    if (IsSkipped())
        return;
    window->initialWidth = 640;
    window->initialHeight = 480;
    ASSERT_TRUE(host().Initialize());
    host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Scripts/startup.js");
    window->Initialize();
    console->Initialize();
    ASSERT_TRUE(console->IsFontLoaded());
    host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Scripts/sampleInput.js");
    Core::Instance().running = true;
    Settle();
    const int pixels = 640 * 480;
    EXPECT_EQ(Frame().unchanged, pixels); // hidden, it draws nothing

    Key("grave");
    TypeText("1+2");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2"; }));
    // Only the input line and its cursor are written, near the bottom, over
    // a darkened frame.
    const FrameReading typed = Frame();
    EXPECT_GT(typed.darkened, pixels * 9 / 10);
    EXPECT_GE(typed.textTop, 480 - 27);
    EXPECT_LE(typed.textBottom, 480 - 5);
    EXPECT_TRUE(typed.textLeft >= 30 && typed.textLeft <= 34) << typed.textLeft;

    Key("Return");
    ASSERT_TRUE(FramesUntil([&] { return OutputEndsWith("> 1+2\n3\n"); })) << console->GetOutput();
    // The sample quits on Escape, but not while the console is open.
    Key("Escape Up shift+grave");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2~"; }));
    EXPECT_TRUE(Core::Instance().running);
    // The output now reaches down from the top.
    const FrameReading recalled = Frame();
    EXPECT_LT(recalled.textTop, 17);
    EXPECT_GE(recalled.textBottom, 480 - 27);

    Key("grave");
    ASSERT_TRUE(FramesUntil([&] { return !console->IsVisible(); }));
    EXPECT_EQ(Frame().unchanged, pixels);
    Key("Escape");
    EXPECT_TRUE(FramesUntil([&] { return !Core::Instance().running; }));
}

} // namespace
