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
    int textTop = -1, textLeft = 1 << 30, textRight = -1;
    int unchanged = 0, darkened = 0;
};

class DevConsoleInput : public WindowTest, protected ScriptRunner {
  protected:
    // One frame as the core runs it: the scene, the console over it, then the
    // window's events and present. It is read before it is presented.
    void Frame() override {
        window->GetWindow().clear(kScene);
        console->Update(0.016f);
        window->DrawOverlays();
        const sf::Image image = window->CaptureFrame();
        window->FinishFrame();
        FrameReading r;
        for (unsigned y = 0; y < image.getSize().y; ++y)
            for (unsigned x = 0; x < image.getSize().x; ++x) {
                const sf::Color c = image.getPixel(x, y);
                if (c.r > 200 && c.g > 200 && c.b > 200) {
                    r.textTop = r.textTop < 0 ? int(y) : r.textTop;
                    r.textLeft = std::min(r.textLeft, int(x));
                    r.textRight = std::max(r.textRight, int(x));
                }
                r.unchanged += c == kScene;
                r.darkened += c.r < kScene.r / 2 && c.g < kScene.g / 2 && c.b < kScene.b / 2;
            }
        reading = r;
    }
    const FrameReading& Drawn() {
        Frame();
        return reading;
    }
    bool OutputEndsWith(const std::string& text) const {
        const std::string& out = console->GetOutput();
        return out.size() >= text.size() && out.substr(out.size() - text.size()) == text;
    }

    DevConsoleSystem* console = Core::Instance().DevConsoleSystem_;
    FrameReading reading;
};

// The logic of typed lines, history and scroll-back is the headless console's; here
// the keys and the wheel reach it, and what it draws is where it belongs.
TEST_F(DevConsoleInput,
       KeysAndTheWheelReachTheConsoleItDrawsOverTheGameAndTheSampleKeepsOffEscape) {
    window->initialWidth = 640;
    window->initialHeight = 480;
    ASSERT_TRUE(host().Initialize());
    host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/resource/Scripts/startup.js");
    window->Initialize();
    console->Initialize();
    ASSERT_TRUE(console->IsFontLoaded());
    Eval("import('" MARROWVALE_SOURCE_DIR "/resource/Scripts/sampleInput.mjs')"
         ".then(m => m.AddEscapeQuit())");
    Core::Instance().running = true;
    Settle();
    const int pixels = 640 * 480;
    EXPECT_EQ(Drawn().unchanged, pixels); // hidden, it draws nothing

    Keys("grave");
    Xdotool("type --delay 20 --window $W 1+2");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2"; }));
    // Only the input line is written, at the bottom, over a darkened frame.
    const FrameReading typed = Drawn();
    EXPECT_GT(typed.darkened, pixels * 9 / 10);
    EXPECT_GT(typed.textTop, 480 * 9 / 10);
    EXPECT_LT(typed.textLeft, 640 / 10);

    Keys("Return");
    ASSERT_TRUE(FramesUntil([&] { return OutputEndsWith("> 1+2\n3\n"); })) << console->GetOutput();
    // The sample quits on Escape, but not while the console is open.
    Keys("Escape Up shift+grave");
    ASSERT_TRUE(FramesUntil([&] { return console->GetInput() == "1+2~"; }));
    EXPECT_TRUE(Core::Instance().running);

    // Long lines, then more short ones than fit: scrolled back, the long ones show, and
    // the output reaches the top.
    Eval("for (var i = 0; i < 12; ++i) print('#'.repeat(40));"
         "for (var i = 0; i < 40; ++i) print('.');");
    const FrameReading atEnd = Drawn();
    EXPECT_LT(atEnd.textTop, 480 / 10);
    Keys("Prior Prior Prior");
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() > 20; }));
    EXPECT_GT(Drawn().textRight, atEnd.textRight + 200) << "the long lines show";
    const std::uint32_t back = console->GetScrollBack();
    ClickAt({300, 200}, 5); // the wheel, towards the newest lines
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() < back; }));
    Keys("Next Next Next");
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == 0; }));

    Keys("grave");
    ASSERT_TRUE(FramesUntil([&] { return !console->IsVisible(); }));
    EXPECT_EQ(Drawn().unchanged, pixels);
    Keys("Escape");
    EXPECT_TRUE(FramesUntil([&] { return !Core::Instance().running; }));
}

} // namespace
