// The developer console in a real window, typed into through the X server
// and checked by what it draws. It moves the server's focus, so ctest runs it
// alone.
#include "graphics/TransformComponent.h"
#include "logic/GameLogicSystem.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"
#include "tools/DevConsoleSystem.h"
#include "tools/ModelEditor.h"
#include "window/WindowTestSupport.h"

namespace {

const sf::Color kScene(90, 140, 200); // what the game drew before the console

// Where one frame has white text, and how much of it is untouched or darkened.
struct FrameReading {
    int textTop = -1, textBottom = -1, textLeft = 1 << 30, textRight = -1;
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
        window->DrawOverlays();
        const sf::Image image = window->CaptureFrame();
        window->FinishFrame();
        FrameReading r;
        for (unsigned y = 0; y < image.getSize().y; ++y)
            for (unsigned x = 0; x < image.getSize().x; ++x) {
                const sf::Color c = image.getPixel(x, y);
                if (c.r > 200 && c.g > 200 && c.b > 200) {
                    r.textTop = r.textTop < 0 ? int(y) : r.textTop;
                    r.textBottom = int(y);
                    r.textLeft = std::min(r.textLeft, int(x));
                    r.textRight = std::max(r.textRight, int(x));
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

// The editor's panels have shortcuts for plain letters, Delete and CTRL keys; while
// the console is open every one of those keys is typing.
TEST_F(DevConsoleInput, KeysTypedIntoTheConsoleNeverReachTheEditorsShortcuts) {
    if (IsSkipped())
        return;
    TempFolder game;
    std::filesystem::create_directories(game.path / "Models");
    game.Write("startup.js", "var core = Core.Instance();");
    game.Write("postInit.js", "core.GameLogicSystem_.SetCurrentGameState(ModelEditor.Instance());");
    Core& core = Core::Instance();
    core.SetResourceDir(game.path.string());
    testing::internal::CaptureStdout(); // shader build reports
    core.Init();
    testing::internal::GetCapturedStdout();
    ModelEditor& editor = ModelEditor::Instance();
    ModelDocument& document = editor.GetDocument();
    auto frames = [&](const std::function<bool()>& done) {
        return Until([&] { core.RunFrame(); }, done, 5.0);
    };
    ASSERT_TRUE(
        frames([&] { return core.AntBarSystem_ != nullptr && document.GetVoxels().empty(); }));
    document.CreateVoxel(glm::vec3(2, 0, 0));
    document.Select(0);
    ASSERT_TRUE(frames([&] { return document.GetSelectedIndex() == 0; }));

    Key("grave");
    ASSERT_TRUE(frames([&] { return console->IsVisible(); }));
    TypeText("x = 1; delete y");
    Key("Delete ctrl+c ctrl+s ctrl+n Escape Return");
    ASSERT_TRUE(frames([&] { return OutputEndsWith("> x = 1; delete y\ntrue\n"); }))
        << console->GetOutput();
    EXPECT_EQ(Eval("x"), "1");
    for (int i = 0; i < 10; ++i)
        core.RunFrame();
    EXPECT_EQ(document.GetVoxels().size(), 1u) << "neither deleted nor copied";
    EXPECT_EQ(editor.GetMovementMode(), ModelEditor::kPlaneXZ);
    EXPECT_EQ(editor.GetQuestion(), "");
    EXPECT_TRUE(std::filesystem::is_empty(game.path / "Models")) << "nothing saved";
    EXPECT_EQ(ObjectManager::GetComponent<TransformComponent>(document.GetVoxels().at(0))->position,
              glm::vec3(2, 0, 0));

    // Closed, the same keys are the editor's again.
    Key("grave");
    ASSERT_TRUE(frames([&] { return !console->IsVisible(); }));
    Key("y ctrl+c");
    EXPECT_TRUE(frames([&] {
        return editor.GetMovementMode() == ModelEditor::kAxisY && document.GetVoxels().size() == 2;
    }));
}

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
    Eval("import('" MARROWVALE_SOURCE_DIR "/resource/Scripts/sampleInput.mjs')"
         ".then(m => m.AddEscapeQuit())");
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

    // Scroll-back: long lines first, then more short ones than the output area holds
    // (26 lines above the input line), so only the short ones show at the end.
    Eval("for (var i = 0; i < 12; ++i) print('#'.repeat(40));"
         "for (var i = 0; i < 40; ++i) print('.');");
    const FrameReading atEnd = Frame();
    const std::uint32_t most = console->GetLineCount() - 26;
    Key("Prior Prior Prior");
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == most; }));
    const FrameReading atTop = Frame();
    EXPECT_GT(atTop.textRight, atEnd.textRight + 200) << "the long lines show";
    EXPECT_LT(atTop.textTop, 17);
    const std::string id = std::to_string(window->GetWindow().getSystemHandle());
    ASSERT_EQ(std::system(("xdotool mousemove --window " + id + " 300 200").c_str()), 0);
    Xdotool("click", "--repeat 2 5"); // the wheel, towards the newest lines
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == most - 6; }));
    Eval("print('new')");
    EXPECT_EQ(console->GetScrollBack(), most - 5) << "what is being read stays in place";
    Key("Next");
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == 0; }));
    Key("Prior");
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == 25; }));
    Key("Return"); // runs the recalled line and goes back to the end
    ASSERT_TRUE(FramesUntil([&] { return console->GetScrollBack() == 0; }));

    Key("grave");
    ASSERT_TRUE(FramesUntil([&] { return !console->IsVisible(); }));
    EXPECT_EQ(Frame().unchanged, pixels);
    Key("Escape");
    EXPECT_TRUE(FramesUntil([&] { return !Core::Instance().running; }));
}

} // namespace
