// The developer console driven by the engine's own input messages: what a
// hidden console ignores, typing and running lines, the history keys, and
// how the output scrolls and stays bounded.
#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "messaging/Message.h"
#include "script/ScriptTestSupport.h"
#include "tools/DevConsoleSystem.h"

namespace {

constexpr std::uint32_t kTilde = 274, kReturn = 278, kBack = 279, kEnd = 283, kHome = 284,
                        kDelete = 286, kLeft = 291, kRight = 292, kUp = 293, kDown = 294;

class DevConsole : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        console->Initialize();
    }

    void Press(std::uint32_t key, bool shift = false, bool ctrl = false) {
        core.BroadcastMessage(
            TryCreateMessage<KeyboardMessage>(KS_PRESSED, key, false, ctrl, shift));
    }
    void Release(std::uint32_t key) {
        core.BroadcastMessage(
            TryCreateMessage<KeyboardMessage>(KS_RELEASED, key, false, false, false));
    }
    void Type(const std::string& text) {
        for (unsigned char c : text)
            core.BroadcastMessage(TryCreateMessage<TextEnteredMessage>(c));
    }
    void Enter(const std::string& line) {
        Type(line);
        Press(kReturn);
    }
    bool OutputHas(const std::string& text) const {
        return console->GetOutput().find(text) != std::string::npos;
    }
    void Resize(std::uint32_t w, std::uint32_t h) {
        core.BroadcastMessage(TryCreateMessage<VideoSizeChangeMessage>(w, h));
    }

    Core& core = Core::Instance();
    DevConsoleSystem* console = core.DevConsoleSystem_;
};

TEST_F(DevConsole, HiddenItIgnoresKeysButFollowsTheWindowAndTheToggleKeyOnly) {
    EXPECT_EQ(Eval("Core.Instance().DevConsoleSystem_.IsVisible()"), "false");
    EXPECT_TRUE(console->IsFontLoaded());
    Resize(1024, 768);
    EXPECT_EQ(console->GetInputPos(), sf::Vector2f(30.0f, 741.0f));

    const std::uint32_t lines = console->GetLineCount();
    Type("abc");
    for (std::uint32_t key : {kLeft, kRight, kUp, kDown, kBack, kReturn})
        Press(key);
    EXPECT_EQ(console->GetInput(), "");
    EXPECT_EQ(console->GetCursorIndex(), 0u);
    EXPECT_EQ(console->GetHistoryIndex(), 0u);
    EXPECT_TRUE(console->GetHistory().empty());
    EXPECT_EQ(console->GetLineCount(), lines);

    // Shift+backquote types '~'; a release or a held Control shows nothing.
    Press(kTilde, true);
    Press(kTilde, false, true);
    Release(kTilde);
    EXPECT_FALSE(console->IsVisible());
    Press(kTilde);
    EXPECT_EQ(Eval("Core.Instance().DevConsoleSystem_.IsVisible()"), "true");
    Type("`~");
    EXPECT_EQ(console->GetInput(), "~");
    Press(kTilde);
    EXPECT_FALSE(console->IsVisible());
}

TEST_F(DevConsole, TypedLinesRunAndPrintTheirValueTheirErrorOrWhatTheyPrint) {
    Press(kTilde);
    Enter("1+2");
    EXPECT_TRUE(OutputHas("> 1+2\n3\n")) << console->GetOutput();
    EXPECT_EQ(console->GetInput(), "");
    EXPECT_EQ(console->GetCursorIndex(), 0u);

    // Editing in the middle of the line.
    Type("abc");
    Press(kLeft);
    Press(kLeft);
    Press(kBack);
    EXPECT_EQ(console->GetInput(), "bc");
    EXPECT_EQ(console->GetCursorIndex(), 0u);
    Press(kDelete);
    Press(kLeft); // stays at 0
    Type("'");
    Press(kEnd);
    Type("' + 'd'");
    Press(kHome);
    Press(kRight);
    EXPECT_EQ(console->GetInput(), "'c' + 'd'");
    EXPECT_EQ(console->GetCursorIndex(), 1u);
    Press(kReturn);
    EXPECT_TRUE(OutputHas("> 'c' + 'd'\n\"cd\"\n")) << console->GetOutput();

    Enter("nope + 1");
    EXPECT_TRUE(OutputHas("> nope + 1\nconsole:1:ReferenceError: nope is not defined\n"))
        << console->GetOutput();
    // An error inside a function reports the function's own file and line.
    ASSERT_EQ(ErrorOf("function Boom() {\n  throw new Error('boom');\n}"), "");
    Enter("Boom()");
    EXPECT_TRUE(OutputHas("> Boom()\ntest.js:1:boom\n")) << console->GetOutput();
    Enter("print('hi', 2); console.log('there')");
    EXPECT_TRUE(OutputHas("\nhi 2\nthere\nundefined\n")) << console->GetOutput();
    Enter("[1, 'x', {a: 1}]");
    EXPECT_TRUE(OutputHas("\n[1, \"x\", {a:1}]\n")) << console->GetOutput();
    Enter("(function (a) {\n  return a;\n})");
    Enter("Core.Instance().DevConsoleSystem_.IsVisible()");
    EXPECT_TRUE(OutputHas("\ntrue\n"));
    Enter("var kept = 41; kept + 1");
    EXPECT_EQ(Eval("kept"), "41");
    // Promise reactions run once the line is done, after its value.
    Enter("Promise.resolve(5).then(function (v) { print('resolved', v); }), 'sync'");
    EXPECT_TRUE(OutputHas("\n\"sync\"\nresolved 5\n")) << console->GetOutput();
    // Engine objects and promises have no source form worth showing.
    Enter("Core.Instance()");
    Enter("Promise.resolve()");
    Enter("new Error('e')");
    EXPECT_TRUE(OutputHas("\n[object Core]\n> Promise.resolve()\n[object Promise]\n> new "
                          "Error('e')\n(new Error(\"e\", \"console\", 1))\n"))
        << console->GetOutput();

    // Hidden, it still collects what scripts say, for when it is opened.
    Press(kTilde);
    EXPECT_EQ(ErrorOf("print('while hidden'); undefinedThing;"),
              "test.js:0:ReferenceError: undefinedThing is not defined");
    EXPECT_TRUE(OutputHas("\nwhile hidden\ntest.js:0:ReferenceError: undefinedThing is not "
                          "defined\n"));
    // Blank lines neither run nor enter the history.
    Press(kTilde);
    Enter("   ");
    EXPECT_EQ(console->GetHistory().size(), 13u);
}

TEST_F(DevConsole, HistoryFollowsTheArrowKeyRules) {
    Press(kTilde);
    Type("xy");
    Press(kHome);
    Press(kUp); // nothing to recall: only the cursor moves to the end
    EXPECT_EQ(console->GetInput(), "xy");
    EXPECT_EQ(console->GetCursorIndex(), 2u);
    Press(kHome);
    Press(kDown);
    EXPECT_EQ(console->GetCursorIndex(), 2u);
    Press(kReturn);

    Enter("1");
    Enter("2");
    ASSERT_EQ(console->GetHistory(), (std::vector<std::string>{"xy", "1", "2"}));
    EXPECT_EQ(console->GetHistoryIndex(), 2u);
    const auto expect = [&](std::uint32_t key, const std::string& input, std::uint32_t index) {
        Press(key);
        EXPECT_EQ(console->GetInput(), input);
        EXPECT_EQ(console->GetCursorIndex(), input.size());
        EXPECT_EQ(console->GetHistoryIndex(), index);
    };
    expect(kUp, "2", 1);
    expect(kUp, "1", 0);
    expect(kUp, "xy", 0);
    expect(kUp, "xy", 0);
    expect(kDown, "1", 1);
    expect(kDown, "2", 2);
    expect(kDown, "2", 2);
    Press(kReturn); // runs the recalled line again
    EXPECT_EQ(console->GetHistory().size(), 4u);
    EXPECT_EQ(console->GetHistoryIndex(), 3u);

    for (std::size_t i = 0; i < DevConsoleSystem::kMaxHistory + 5; ++i)
        Enter(std::to_string(i));
    EXPECT_EQ(console->GetHistory().size(), DevConsoleSystem::kMaxHistory);
    EXPECT_EQ(console->GetHistory().back(), std::to_string(DevConsoleSystem::kMaxHistory + 4));
    expect(kUp, std::to_string(DevConsoleSystem::kMaxHistory + 4),
           DevConsoleSystem::kMaxHistory - 2);
}

TEST_F(DevConsole, OutputScrollsByWholeLinesAndKeepsOnlyRecentOnes) {
    Press(kTilde);
    Resize(1280, 800); // 45 lines fit above the input line at y = 773
    const auto addLines = [&](int count, const std::string& prefix) {
        for (int i = 0; i < count; ++i)
            console->AddOutput(prefix + std::to_string(i));
    };
    const std::uint32_t before = console->GetLineCount();
    addLines(45 - static_cast<int>(before), "a");
    console->Update(0.0f);
    EXPECT_EQ(console->GetOutputPos().y, 0.0f);
    addLines(5, "b");
    console->Update(0.0f);
    EXPECT_EQ(console->GetOutputPos().y, -5 * 17.0f);
    Resize(1024, 768); // 43 lines fit
    EXPECT_EQ(console->GetOutputPos(), sf::Vector2f(30.0f, 0.0f));
    console->Update(0.0f);
    EXPECT_EQ(console->GetOutputPos().y, -7 * 17.0f);

    // One text of several lines; tabs and returns become spaces.
    console->AddOutput("one\ttwo\r\nthree\n");
    EXPECT_EQ(console->GetLineCount(), 52u);
    const std::string tail = "b4\none two \nthree\n";
    EXPECT_EQ(console->GetOutput().substr(console->GetOutput().size() - tail.size()), tail);

    addLines(1000, "c");
    EXPECT_EQ(console->GetLineCount(), DevConsoleSystem::kMaxOutputLines);
    EXPECT_FALSE(OutputHas("three"));
    EXPECT_EQ(console->GetOutput().rfind("c999\n"), console->GetOutput().size() - 5);
    EXPECT_EQ(console->GetOutput().find("c600\n"), 0u);
    console->Update(0.0f);
    EXPECT_EQ(console->GetOutputPos().y, -(400.0f - 43.0f) * 17.0f);

    console->AddOutput(std::string(5000, 'x'));
    const std::string& out = console->GetOutput();
    EXPECT_EQ(out.substr(out.size() - 4), "...\n");
    EXPECT_EQ(out.size() - out.rfind('\n', out.size() - 2) - 2, DevConsoleSystem::kMaxLineLength);
}

} // namespace
