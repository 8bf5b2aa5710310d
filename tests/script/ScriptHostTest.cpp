#include <filesystem>
#include <fstream>

#include <unistd.h>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "script/GarbageCollectionSchedule.h"
#include "script/ScriptHost.h"
#include "script/ScriptTestSupport.h"

namespace fs = std::filesystem;

namespace {

class ScriptFiles : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        dir = fs::temp_directory_path() /
              ("marrowvale-script-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string Write(const std::string& name, const std::string& source) {
        const fs::path path = dir / name;
        std::ofstream(path, std::ios::binary) << source;
        return path.string();
    }

    fs::path dir;
};

TEST_F(ScriptTest, PrintAndConsoleLogWriteSpaceSeparatedLines) {
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Eval("print('a', 1, true, null, undefined, [1, 2]); console.log(); "
                   "console.log('x\\u00e9y'); 'done'"),
              "done");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "a 1 true null undefined 1,2\n\nx\xe9y\n");
}

TEST_F(ScriptTest, ErrorsAreFormattedKeptAndWrittenToStandardError) {
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(host().Evaluate("\n\nthrow new Error('boom');", "game.js"));
    EXPECT_EQ(host().GetLastError(), "game.js:2:boom");

    // A syntax error on the first line is on line 0; its kind is kept.
    EXPECT_FALSE(host().Evaluate("var = ;", "first.js"));
    EXPECT_EQ(host().GetLastError(), "first.js:0:SyntaxError: missing variable name");

    EXPECT_FALSE(host().Evaluate("throw 5", ""));
    EXPECT_EQ(host().GetLastError(), "<no fileName=>:0:uncaught exception: 5");

    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("game.js:2:boom\n"), std::string::npos);
    EXPECT_NE(err.find("first.js:0:SyntaxError: missing variable name\n"), std::string::npos);

    // The context is usable after every one of them.
    EXPECT_EQ(Eval("6 * 7"), "42");
}

TEST_F(ScriptTest, ReportErrorRaisesInsideScriptsAndReportsOutside) {
    // Outside any script call nobody would see an exception: report at once.
    host().ReportError("Error, %s.", "from the engine");
    EXPECT_EQ(host().GetLastError(), "<no fileName=>:0:Error, from the engine.");
    EXPECT_EQ(Eval("'still running'"), "still running");

    host().ReportWarning("Warning: %d", 3);
    EXPECT_EQ(host().GetLastError(), "<no fileName=>:0:Warning: 3");
}

TEST_F(ScriptFiles, RunFileReportsInnerErrorsAndTheCallerGoesOn) {
    const std::string inner = Write("inner.js", "innerRuns++;\nthrow new Error('inner');\n");
    const std::string outer = Write("outer.js", "var innerRuns = 0;\n"
                                                "var r = RunFile('" +
                                                    inner +
                                                    "');\n"
                                                    "var after = 'went on: ' + r;\n"
                                                    "RunFile();\n"
                                                    "RunFile('" +
                                                    inner + "', 'b');\n");
    EXPECT_TRUE(host().RunFile(outer));
    EXPECT_EQ(host().GetLastError(), inner + ":1:inner");
    EXPECT_EQ(Eval("after"), "went on: undefined");
    EXPECT_EQ(Eval("innerRuns"), "1"); // RunFile() and RunFile(a, b) did nothing
}

TEST_F(ScriptFiles, FilesAreBytesWithTheFirstLineNumberedZero) {
    const std::string path = Write("bytes.js", "var code = '\xe9'.charCodeAt(0);\nnull.x;");
    EXPECT_FALSE(host().RunFile(path));
    EXPECT_EQ(Eval("code"), "233");
    EXPECT_EQ(host().GetLastError().substr(0, path.size() + 3), path + ":1:");
}

TEST_F(ScriptFiles, AMissingFileIsReportedByNameAndRunsNothing) {
    const std::string missing = (dir / "missing.js").string();
    EXPECT_FALSE(host().RunFile(missing));
    EXPECT_EQ(host().GetLastError().rfind(missing + ":0:cannot open the script file", 0), 0u)
        << host().GetLastError();

    EXPECT_EQ(Eval("RunFile('" + missing + "'); 'caller goes on'"), "caller goes on");
    EXPECT_NE(host().GetLastError().find(missing), std::string::npos);

    // A folder opens on some systems but cannot be read as a script.
    EXPECT_FALSE(host().RunFile(dir.string()));
    EXPECT_NE(host().GetLastError().find(dir.string()), std::string::npos);
}

// These two need an engine that was never started; a child process gives
// them one even when the whole suite runs in one process.
TEST(ScriptHostLimits, HeapLimitIsSettableBeforeStartAndNurseryIsCapped) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScriptHost& host = ScriptHost::Instance();
            bool ok = host.GetHeapLimitBytes() == ScriptHost::kDefaultHeapLimitBytes;
            host.SetHeapLimitBytes(size_t(96) << 20);
            ok = ok && host.Initialize();
            JSContext* cx = host.GetContext();
            ok = ok && JS_GetGCParameter(cx, JSGC_MAX_BYTES) == 96u << 20;
            ok = ok &&
                 JS_GetGCParameter(cx, JSGC_MAX_NURSERY_BYTES) == ScriptHost::kNurseryLimitBytes;
            host.SetHeapLimitBytes(size_t(128) << 20); // applies to a running context too
            ok = ok && JS_GetGCParameter(cx, JSGC_MAX_BYTES) == 128u << 20;
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(ScriptHostLifetime, ShutdownIsSafeTwiceAndBeforeInitialize) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ScriptHost& host = ScriptHost::Instance();
            host.Shutdown(); // never initialised
            bool ok = host.Initialize() && host.Initialize();
            host.Shutdown();
            host.Shutdown();
            ok = ok && !host.GetContext() && !host.GetGlobal() && !host.RunFile("any.js");
            // The engine cannot start twice in one process; that is refused.
            ok = ok && !host.Initialize();
            std::exit(ok ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST(GarbageCollectionSchedule, CollectsInTheFirstFrameAndThenEveryInterval) {
    auto framesThatCollect = [](GarbageCollectionSchedule schedule, int frames) {
        std::string pattern;
        for (int i = 0; i < frames; ++i)
            pattern += schedule.Advance() ? 'x' : '.';
        return pattern;
    };
    GarbageCollectionSchedule schedule;
    EXPECT_EQ(schedule.garbageCollectEveryXFrames, 50u);
    const std::string fifty = framesThatCollect(schedule, 101);
    EXPECT_EQ(fifty, "x" + std::string(49, '.') + "x" + std::string(49, '.') + "x");

    schedule.garbageCollectEveryXFrames = 3;
    EXPECT_EQ(framesThatCollect(schedule, 8), "x..x..x.");
    schedule.garbageCollectEveryXFrames = 1;
    EXPECT_EQ(framesThatCollect(schedule, 3), "xxx");
    schedule.garbageCollectEveryXFrames = 0; // no division by zero: every frame
    EXPECT_EQ(framesThatCollect(schedule, 3), "xxx");

    // A new interval applies from the next frame, counting on from where
    // the counter stands.
    schedule.garbageCollectEveryXFrames = 50;
    schedule.frameCounter = 2;
    schedule.garbageCollectEveryXFrames = 2;
    EXPECT_EQ(framesThatCollect(schedule, 5), "..x.x");
}

} // namespace
