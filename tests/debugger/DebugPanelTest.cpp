// The debugger in the game window, driven by real key presses: a debugger
// statement stops the game with the last frame, the stop strip and the
// panel drawn; F10 steps, F5 goes on, and the frame after the pause is not
// as long as the pause.
#include <thread>

#include <SFML/Graphics/Image.hpp>

#include "core/ProcessTestSupport.h"
#include "debugger/DebuggerTestSupport.h"

namespace {

const char* kMain = R"(let frame = 0;
function tick(dt) {
    frame += 1;
    if (frame > 5 && dt > 0.25) print("long frame " + dt);
    if (frame === 5) {
        debugger;
        const after = frame * 2;
        print("stepped to " + after);
    }
    if (frame === 8) print("resumed at " + frame);
}
Core.Instance().GameLogicSystem_.updateFunction = tick;
)";

struct Shot {
    std::size_t stoppedLine = 0; // pixels of the panel's stopped-line band
    sf::Color corner;            // inside the stop strip
};

Shot Screenshot(const std::string& window, const std::filesystem::path& file) {
    Shot shot;
    sf::Image image;
    int status = 0;
    Shell("import -window " + window + " png:" + file.string(), status);
    if (status != 0 || !image.loadFromFile(file.string()))
        return shot;
    for (unsigned y = 0; y < image.getSize().y; ++y)
        for (unsigned x = 0; x < image.getSize().x; ++x) {
            const sf::Color c = image.getPixel(x, y);
            shot.stoppedLine += c.r == 110 && c.g == 80 && c.b == 0;
        }
    shot.corner = image.getPixel(3, 3);
    return shot;
}

} // namespace

TEST(DebugPanel, DebuggerStatementStopsTheWindowAliveAndKeysStepAndContinue) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
    const std::filesystem::path game = MakeGame({{"Scripts/main.mjs", kMain}});
    EngineProcess engine({"--debug=0", "--resource", game.string() + "/"});
    ASSERT_TRUE(engine.WaitFor("Debugger: Paused at main.mjs:6", 60.0)) << engine.Output();
    int status = 0;
    const std::string window =
        std::to_string(std::atol(Shell("xdotool search --name '^Marrowvale$'", status).c_str()));
    ASSERT_NE(window, "0");
    std::this_thread::sleep_for(std::chrono::milliseconds(700));

    const Shot paused = Screenshot(window, game / "paused.png");
    EXPECT_GT(paused.stoppedLine, 1000u) << "the panel marks the stopped line";
    EXPECT_LT(paused.corner.r, 40);
    EXPECT_GT(paused.corner.b, paused.corner.r + 20) << "the stop strip is drawn";

    const std::string key = "xdotool key --delay 30 --window " + window + " ";
    // At a stop the expression box has the keyboard: Enter evaluates what was typed,
    // in the stopped frame, and the box keeps the keyboard for the next expression.
    const std::string type = "xdotool type --delay 30 --window " + window + " ";
    for (const auto& [expression, shown] :
         {std::pair{"'print(\"evaluated \" + frame * 6)'", "evaluated 30"},
          std::pair{"'print(\"next \" + (frame + 1))'", "next 6"}}) {
        ASSERT_EQ(std::system((type + expression).c_str()), 0);
        ASSERT_EQ(std::system((key + "Return").c_str()), 0);
        EXPECT_TRUE(engine.WaitFor(shown, 20.0)) << engine.Output();
        // As a person types: keys within a frame or two of the Enter may come
        // before the box has the keyboard back.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }
    // The stepping keys are the debugger's while the box has the keyboard.
    ASSERT_EQ(std::system((key + "F10").c_str()), 0);
    EXPECT_TRUE(engine.WaitFor("Debugger: Paused at main.mjs:7", 20.0)) << engine.Output();
    ASSERT_EQ(std::system((key + "F10").c_str()), 0);
    EXPECT_TRUE(engine.WaitFor("Debugger: Paused at main.mjs:8", 20.0)) << engine.Output();
    ASSERT_EQ(std::system((key + "F5").c_str()), 0);
    EXPECT_TRUE(engine.WaitFor("stepped to 10", 20.0)) << engine.Output();
    EXPECT_TRUE(engine.WaitFor("resumed at 8", 20.0)) << engine.Output();
    EXPECT_EQ(engine.Output().find("long frame"), std::string::npos) << engine.Output();

    // Running again: no panel, no strip.
    const Shot running = Screenshot(window, game / "running.png");
    EXPECT_EQ(running.stoppedLine, 0u);
    // Closing the window while paused quits cleanly.
    ASSERT_EQ(std::system((key + "F8").c_str()), 0);
    EXPECT_TRUE(engine.WaitFor("Debugger: Paused at", 20.0)) << engine.Output();
    Shell("xdotool windowclose " + window, status);
    EXPECT_EQ(engine.Exit(20.0), 0) << engine.Output();
    std::filesystem::remove_all(game);
}
