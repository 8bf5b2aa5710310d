// A game whose scripts loop for ever, run as a player runs it: each loop is
// stopped after the time limit with its file and line, and the game goes on.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "core/ProcessTestSupport.h"
#include "script/ScriptTestSupport.h"

namespace {

// Each loop sits on a line of its own, named in the expectations below.
const char* kMain = R"(let frame = 0;
const busy = (ms) => { const end = performance.now() + ms; while (performance.now() < end) {} };
Core.Instance().GameLogicSystem_.updateFunction = () => {
    print("frame " + ++frame);
    if (frame === 1) { busy(600); setTimeout(() => { busy(600); print("both ran"); }, 0); }
    if (frame === 2) for (;;) {}
    if (frame === 3) Promise.resolve().then(() => {
        while (true) {}
    });
    if (frame === 4) setTimeout(() => {
        for (;;) { try { RunFile("../resource/Scripts/spin.js"); } catch (e) {} }
    }, 0);
};
print("module runs");
while (true) {}
)";

} // namespace

TEST(ScriptTimeout, EveryLoopIsStoppedWithItsFileAndLineAndTheNextFrameRunsAgain) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
    TempFolder game;
    game.Write("startup.js", "");
    game.Write("main.mjs", kMain);
    game.Write("spin.js", "for (;;) {}\n");
    int status = 0;
    const std::string out = Shell("timeout 60 " + std::string(MARROWVALE_BINARY_DIR) +
                                      "/marrowvale --quiet --frames 6 " +
                                      "--script-timeout 1 --resource " + game.path.string() + "/",
                                  status);
    EXPECT_EQ(status, 0) << out;
    const std::string stopped = ": the script ran longer than 1 s and was stopped";
    // The entry module, the per-frame function, a promise job, and a file run
    // by a timer that swallows every failure of RunFile: each once.
    for (const char* where : {"main.mjs:15", "main.mjs:6", "main.mjs:8", "spin.js:1"})
        EXPECT_EQ(CountOf(out, where + stopped), 1u) << where << "\n" << out;
    EXPECT_EQ(CountOf(out, stopped), 4u) << out;
    // Two calls of 0.6 s in one frame: the limit is each call's own.
    EXPECT_EQ(CountOf(out, "both ran"), 1u) << out;
    EXPECT_NE(out.find("module runs"), std::string::npos);
    EXPECT_NE(out.find("frame 6"), std::string::npos) << out;
    // Nothing else is said about the stops.
    EXPECT_EQ(out.find("terminated"), std::string::npos) << out;
}
