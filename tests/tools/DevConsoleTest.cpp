// The developer console driven by the engine's own input messages.
#include "core/Core.h"
#include "messaging/Message.h"
#include "script/ScriptTestSupport.h"
#include "tools/DevConsoleSystem.h"

namespace {

constexpr std::uint32_t kTilde = 274, kReturn = 278, kBack = 279, kPageUp = 281, kPageDown = 282,
                        kEnd = 283, kHome = 284, kDelete = 286, kLeft = 291, kUp = 293, kDown = 294;

class DevConsole : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        console->Initialize();
    }
    void Press(std::uint32_t key, bool shift = false, std::uint32_t state = KS_PRESSED) {
        core.BroadcastMessage(TryCreateMessage<KeyboardMessage>(state, key, false, false, shift));
    }
    void Press(std::initializer_list<std::uint32_t> keys) {
        for (std::uint32_t key : keys)
            Press(key);
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
    // The input line is the window's last, and the newest output line sits right on it.
    void ExpectLaidOutFor(float height, float lineHeight) {
        console->Update(0.0f);
        const float input = console->GetInputPos().y;
        EXPECT_GT(input, height - 2 * lineHeight);
        EXPECT_LT(input, height - lineHeight / 2);
        EXPECT_GT(console->GetInputPos().x, 0.0f);
        const float newest = console->GetOutputPos().y + lineHeight * console->GetLineCount();
        EXPECT_LE(newest, input);
        EXPECT_GT(newest, input - lineHeight);
    }

    Core& core = Core::Instance();
    DevConsoleSystem* console = core.DevConsoleSystem_;
};

TEST_F(DevConsole, KeysWaitForItToOpenAndLinesRunPrintScrollAndKeepTheirHistory) {
    EXPECT_EQ(Eval("Core.Instance().DevConsoleSystem_.IsVisible()"), "false");
    Type("abc");
    Press({kLeft, kUp, kDown, kReturn});
    Press(kTilde, true); // Shift+backquote types '~'
    Press(kTilde, false, KS_RELEASED);
    EXPECT_FALSE(console->IsVisible());
    EXPECT_EQ(console->GetInput(), "");
    EXPECT_TRUE(console->GetHistory().empty());

    Press(kTilde);
    Type("`xy");         // the toggle's own character is not typed
    Press({kHome, kUp}); // no history: only the cursor moves
    EXPECT_EQ(console->GetInput(), "xy");
    EXPECT_EQ(console->GetCursorIndex(), 2u);
    Press(kReturn);
    Enter("1");
    Enter("2");
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
    for (std::size_t i = 0; i < DevConsoleSystem::kMaxHistory; ++i)
        Enter(std::to_string(i));
    EXPECT_EQ(console->GetHistory().size(), DevConsoleSystem::kMaxHistory);
    expect(kUp, std::to_string(DevConsoleSystem::kMaxHistory - 1),
           DevConsoleSystem::kMaxHistory - 2);
    Press(kReturn); // runs the recalled line: the input is empty for what follows

    // Typed lines show their value, their error and what they print.
    Type("1+2");
    Press({kLeft, kBack});
    Type("*");
    Press({kHome, kDelete});
    Type("4");
    Press({kEnd, kReturn});
    EXPECT_TRUE(OutputHas("> 4*2\n8\n")) << console->GetOutput();
    Enter("'c' + 'd'");
    Enter("nope + 1");
    // An error inside a function reports the function's own file and line.
    ASSERT_EQ(ErrorOf("function Boom() {\n  throw new Error('boom');\n}"), "");
    Enter("Boom()");
    Enter("print('hi', 2); console.log('there')");
    Enter("[1, 'x', {a: 1}]");
    Enter("Promise.resolve(5).then(function (v) { print('resolved', v); }), 'sync'");
    Enter("Core.Instance()");
    Enter("var kept = 41");
    EXPECT_EQ(Eval("kept"), "41");
    EXPECT_TRUE(OutputHas("\n\"cd\"\n> nope + 1\nconsole:1:1: ReferenceError: nope is not defined\n"
                          "> Boom()\ntest.js:2:9: boom\n"
                          "> print('hi', 2); console.log('there')\nhi 2\nthere\nundefined\n"
                          "> [1, 'x', {a: 1}]\n[1, \"x\", {a:1}]\n"))
        << console->GetOutput();
    // A line's value comes before what its promises print; engine objects
    // read as their class.
    EXPECT_TRUE(OutputHas("\n\"sync\"\nresolved 5\n> Core.Instance()\n[object Core]\n"));

    // Hidden, it still collects what scripts say, for when it is opened.
    Press(kTilde);
    EXPECT_EQ(ErrorOf("print('while hidden'); oops;"),
              "test.js:1:24: ReferenceError: oops is not defined");
    EXPECT_TRUE(OutputHas("\nwhile hidden\ntest.js:1:24: ReferenceError: oops is not defined\n"));

    // Output scrolls by whole lines, keeps only recent ones and scrolls back by page and wheel.
    Resize(1280, 800); // taken while hidden
    Press(kTilde);
    const std::uint32_t before = console->GetLineCount();
    for (std::uint32_t i = before; i < 49; ++i)
        console->AddOutput("a" + std::to_string(i));
    console->Update(0.0f);
    const float older = console->GetOutputPos().y;
    EXPECT_LT(older, 0.0f) << "the oldest lines went off the top";
    console->AddOutput("a49");
    console->Update(0.0f);
    const float line = older - console->GetOutputPos().y; // one line moves all up by one
    EXPECT_GT(line, 10.0f);
    ExpectLaidOutFor(800, line);
    Resize(1024, 768);
    ExpectLaidOutFor(768, line);

    const std::uint32_t lines = console->GetLineCount();
    console->AddOutput("one\ttwo\r\nthree\n"); // two lines, control characters as spaces
    EXPECT_EQ(console->GetLineCount(), lines + 2);
    EXPECT_TRUE(OutputHas("a49\none two \nthree\n"));
    for (int i = 0; i < 1000; ++i)
        console->AddOutput("c" + std::to_string(i));
    EXPECT_EQ(console->GetLineCount(), DevConsoleSystem::kMaxOutputLines);
    EXPECT_EQ(console->GetOutput().find("c600\n"), 0u);
    ExpectLaidOutFor(768, line);
    console->AddOutput(std::string(5000, 'x'));
    EXPECT_TRUE(
        OutputHas("c999\n" + std::string(DevConsoleSystem::kMaxLineLength - 3, 'x') + "...\n"));

    // Scroll-back, 43 lines fitting: a page keeps one line of the last in sight.
    const std::uint32_t most = console->GetLineCount() - 43, page = 42;
    Press({kPageUp, kPageUp});
    EXPECT_EQ(console->GetScrollBack(), 2 * page);
    for (int i = 0; i < 9; ++i)
        Press(kPageUp);
    EXPECT_EQ(console->GetScrollBack(), most) << "the oldest line comes no lower than the top";
    core.BroadcastMessage(TryCreateMessage<MouseWheelMessage>(-2)); // towards the newest
    const std::uint32_t read = most - 2 * DevConsoleSystem::kWheelLines;
    EXPECT_EQ(console->GetScrollBack(), read);
    console->AddOutput("new");
    EXPECT_EQ(console->GetScrollBack(), read + 1) << "what is being read stays in place";
    Press(kPageDown);
    EXPECT_EQ(console->GetScrollBack(), read + 1 - page);
    Enter("1");
    EXPECT_EQ(console->GetScrollBack(), 0u) << "a typed line goes back to the end";
    core.BroadcastMessage(TryCreateMessage<MouseWheelMessage>(-1));
    EXPECT_EQ(console->GetScrollBack(), 0u) << "no further than the newest";
    Press(kTilde);
    core.BroadcastMessage(TryCreateMessage<MouseWheelMessage>(1));
    EXPECT_EQ(console->GetScrollBack(), 0u) << "hidden, the wheel is the game's";
}

} // namespace
