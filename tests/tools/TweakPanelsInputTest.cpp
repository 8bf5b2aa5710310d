// Tweak panels in a real window, driven by real pointer and keyboard input through the
// X server. Serial: they move the server's one pointer and focus.
#include <GL/glew.h>

#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "tools/ToolsTestSupport.h"
#include "tools/TweakBar.h"
#include "tools/TweakGraph.h"
#include "window/WindowTestSupport.h"

namespace {

class TweakPanelsInput : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        OpenWithGraphics(640, 480);
        if (HasFatalFailure())
            return;
        Core& core = Core::Instance();
        bars = core.AntBarSystem_;
        bars->Initialize();
        ASSERT_TRUE(host().Initialize());
        Xdotool("mousemove 1000 700");
        Settle();
    }

    // The frame as the engine runs it, for the systems involved: requests, then drawing
    // (the panels over the game), then the events of the window.
    void Frame() override {
        bars->Update(0.0f);
        Core::Instance().GraphicsSystem_->Update(0.0f);
        window->DrawOverlays();
        drawn = DrawnPixel(buttonCentre);
        window->FinishFrame();
    }

    AntBarSystem* bars = nullptr;
    sf::Vector2i buttonCentre{0, 0};
    sf::Color drawn;
};

// A script button, then script and engine fields, then a graph, each on a panel of its own.
TEST_F(TweakPanelsInput, ButtonsFieldsAndGraphsTakeRealInputKeepItFromTheGameAndDrawWhatTheyHold) {
    Eval("var log = [];"
         "Core.BroadcastMessage(RegisterAntBarMessage.Create('tools', 220, 160, 20, 20));"
         "(function() { var n = 0; Core.Instance().AntBarSystem_.AddButton('tools', 'Fire',"
         "  function() { log.push('fire ' + (++n) + ' ' + (this === globalThis)); }); })();");
    ASSERT_TRUE(FramesUntil([&] { return DrawnRect("tools", "Fire").width > 0; }));
    const sf::FloatRect rect = DrawnRect("tools", "Fire");
    buttonCentre = sf::Vector2i(static_cast<int>(rect.left + rect.width / 2),
                                static_cast<int>(rect.top + rect.height / 2));
    EXPECT_TRUE(sf::FloatRect(20, 20, 220, 160).contains(rect.left, rect.top));
    Frame();
    // The button is drawn: ImGui's buttons are blue, the cleared screen is black.
    EXPECT_GT(int(drawn.b), int(drawn.r) + 40)
        << "button pixel " << int(drawn.r) << "," << int(drawn.g) << "," << int(drawn.b);

    recorder->received.clear();
    ClickAt(buttonCentre);
    ASSERT_TRUE(FramesUntil([&] { return Eval("log.join()") == "fire 1 true"; }))
        << Eval("log.join()");
    Xdotool("click 1");
    ASSERT_TRUE(FramesUntil([&] { return Eval("log.length") == "2"; }));
    Settle(0.1);
    EXPECT_TRUE(recorder->All<MouseButtonMessage>().empty()) << "the panel took the clicks";
    EXPECT_FALSE(recorder->All<MouseMotionMessage>().empty()) << "moves still reach the game";

    // The same click beside the panel is the game's.
    ClickAt({400, 300});
    ASSERT_TRUE(FramesUntil([&] { return recorder->All<MouseButtonMessage>().size() == 2; }));
    EXPECT_EQ(Eval("log.length"), "2");

    // Hidden, the panel takes nothing.
    Core::Instance().BroadcastMessage(CreateMessage<SetBarVisibleMessage>("tools", false));
    recorder->received.clear();
    Frame();
    ClickAt(buttonCentre);
    ASSERT_TRUE(FramesUntil([&] { return recorder->All<MouseButtonMessage>().size() == 2; }));
    EXPECT_EQ(Eval("log.length"), "2");
    EXPECT_LT(int(drawn.b), 40) << "nothing drawn where the button was";

    // Script fields and an engine field on one panel: typing, a real drag, a read-only
    // field, and what scripts set shown back.
    static float fixed = 2.0f;
    Eval("var bars = Core.Instance().AntBarSystem_;"
         "Core.BroadcastMessage(RegisterAntBarMessage.Create('live', 300, 140, 20, 20));"
         "Core.BroadcastMessage(TWDefineMessage.Create('live', 'refresh=0'));"
         "bars.AddStringVar('live', 'name', 'abc', '');"
         "bars.AddNumberVar('live', 'speed', 2, 'min=0 max=10 step=1');");
    Core::Instance().BroadcastMessage(
        CreateMessage<AddVarMessage>("live", &fixed, kTweakFloat, "fixed", "readonly=true"));
    ASSERT_TRUE(FramesUntil([&] { return DrawnRect("live", "fixed").width > 0; }));
    const sf::FloatRect name = DrawnRect("live", "name");
    ClickAt({int(name.left + 10), int(name.top + name.height / 2)});
    Frame();
    Frame();
    recorder->received.clear();
    // Keys and typed text reach ImGui as state once a frame, not as one ordered stream:
    // a selection typed over in the same frame would be selected after the typing.
    Keys("ctrl+a");
    Keys("x y");
    ASSERT_TRUE(FramesUntil([&] { return Eval("bars.GetVar('live', 'name')") == "xy"; }))
        << Eval("bars.GetVar('live', 'name')");
    Settle(0.1);
    EXPECT_TRUE(recorder->All<KeyboardMessage>().empty());
    EXPECT_TRUE(recorder->All<TextEnteredMessage>().empty());
    EXPECT_TRUE(window->IsKeyboardCaptured()) << "the field holds the keyboard";

    // Once the field lets go (a click elsewhere), keys are the game's again.
    ClickAt({500, 400});
    ASSERT_TRUE(FramesUntil([&] { return recorder->All<MouseButtonMessage>().size() == 2; }));
    Wait(0.2);
    Keys("z");
    ASSERT_TRUE(FramesUntil([&] { return !recorder->All<TextEnteredMessage>().empty(); }));
    EXPECT_EQ(Eval("bars.GetVar('live', 'name')"), "xy");
    EXPECT_FALSE(window->IsKeyboardCaptured());

    // A read-only field shows the variable but cannot change it.
    const auto drag = [&](const sf::FloatRect& r) {
        Xdotool("mousemove --window $W " + std::to_string(int(r.left + 10)) + " " +
                std::to_string(int(r.top + r.height / 2)) + " mousedown 1");
        Wait(0.2);
        Xdotool("mousemove_relative 30 0");
        Wait(0.2);
        Xdotool("mousemove_relative 30 0 mouseup 1");
        Wait(0.2);
    };
    drag(Control("live", "fixed")->drawnRect);
    EXPECT_EQ(fixed, 2.0f);
    // Dragged right by far more than the range allows: held at the maximum.
    recorder->received.clear();
    drag(Control("live", "speed")->drawnRect);
    ASSERT_TRUE(FramesUntil([&] { return Eval("bars.GetVar('live', 'speed')") == "10"; }))
        << Eval("bars.GetVar('live', 'speed')");
    EXPECT_TRUE(recorder->All<MouseButtonMessage>().empty()) << "the panel took the drag";

    // A value the script sets shows in the panel.
    Eval("bars.SetVar('live', 'speed', 3)");
    EXPECT_TRUE(FramesUntil([&] { return Shown("live", "speed") == 3.0f; }));

    // A graph draws its series as stacked lines, where the fields were.
    Core::Instance().BroadcastMessage(CreateMessage<DeleteBarMessage>("live"));
    static TweakGraph graph({"first", "second"});
    for (int i = 0; i < 50; ++i)
        graph.AddSample({2.0f, i < 40 ? 3.0f : 9.0f}); // a spike at the end
    EXPECT_EQ(graph.GetStacked(1).back(), 11.0f);
    EXPECT_EQ(graph.GetPeakTotal(), 11.0f);
    Core::Instance().BroadcastMessage(
        CreateMessage<AddVarMessage>("graphs", &graph, kTweakGraph, "times", ""));
    Core::Instance().BroadcastMessage(
        CreateMessage<RegisterAntBarMessage>("graphs", 400u, 300u, 20u, 20u));
    ASSERT_TRUE(FramesUntil([&] { return DrawnRect("graphs", "times").height > 100; }));
    // Each series' colour is drawn inside the graph: red for the first, orange for
    // the second, which ends higher than it starts.
    const sf::FloatRect graphRect = DrawnRect("graphs", "times");
    bars->Update(0.0f);
    Core::Instance().GraphicsSystem_->Update(0.0f);
    window->DrawOverlays();
    const int w = static_cast<int>(graphRect.width), h = 100;
    std::vector<unsigned char> rgba(static_cast<std::size_t>(w * h * 4));
    glReadPixels(static_cast<int>(graphRect.left), 480 - static_cast<int>(graphRect.top) - h, w, h,
                 GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    window->FinishFrame();
    int red = 0, orange = 0, orangeRight = 0, orangeLeft = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const unsigned char* p = &rgba[static_cast<std::size_t>((y * w + x) * 4)];
            const int top = h - 1 - y; // rows from the graph's top
            // Thin lines blend into the frame, so by hue: red has little green,
            // orange a lot, and neither much blue (the frame is blue).
            if (p[0] > p[2] + 40 && p[1] < p[2])
                ++red;
            if (p[0] > p[2] + 60 && p[1] > p[2] + 30) {
                ++orange;
                if (x > w * 9 / 10)
                    orangeRight = std::max(orangeRight, h - top);
                if (x < w / 2)
                    orangeLeft = std::max(orangeLeft, h - top);
            }
        }
    EXPECT_GT(red, 20);
    EXPECT_GT(orange, 20);
    EXPECT_GT(orangeRight, orangeLeft + 30) << "the spike rises towards the right";
}

} // namespace
