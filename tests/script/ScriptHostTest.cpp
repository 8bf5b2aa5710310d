// The script host: output, errors, script files and its own lifetime.
#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "messaging/Message.h"
#include "script/ScriptTestSupport.h"

namespace {

TEST_F(ScriptTest, OutputErrorsWithFileLineColumnAndStackAndNestedRunFile) {
    // print and console.log write space-separated lines.
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(Eval("print('a', 1, true, null, undefined, [1, 2]); console.log(); "
                   "console.log('x\\u00e9y'); 'done'"),
              "done");
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "a 1 true null undefined 1,2\n\nx\xe9y\n");

    // Errors name file, line and column as editors count them; functions add a stack.
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(host().Evaluate("\n\n  throw new Error('boom');", "game.js"));
    EXPECT_EQ(host().GetLastError(), "game.js:3:9: boom");
    EXPECT_EQ(host().GetLastStackTrace(), "") << "top-level code needs no stack";
    // The first line is line 1; a syntax error keeps its kind.
    EXPECT_FALSE(host().Evaluate("var = ;", "first.js"));
    EXPECT_EQ(host().GetLastError(), "first.js:1:5: SyntaxError: missing variable name");
    // So does one in code compiled by the script (its line is that code's);
    // one raised while running is where it was raised.
    EXPECT_FALSE(host().Evaluate("var x = 1;\neval('\\n  var = ;');", "eval.js"));
    EXPECT_EQ(host().GetLastError(), "eval.js:2:7: SyntaxError: missing variable name");
    EXPECT_FALSE(host().Evaluate("var x = 1;\n  JSON.parse('{');", "json.js"));
    EXPECT_EQ(host().GetLastError().rfind("json.js:2:8: SyntaxError: JSON.parse", 0), 0u)
        << host().GetLastError();
    // A thrown value that is no Error still has the position of the throw,
    // and an error inside functions lists every frame.
    EXPECT_FALSE(host().Evaluate("function inner() {\n  throw 'x';\n}\n"
                                 "function outer() { inner(); }\nouter();",
                                 "stack.js"));
    EXPECT_EQ(host().GetLastError(), "stack.js:2:3: uncaught exception: x");
    EXPECT_EQ(host().GetLastStackTrace(), "    at inner (stack.js:2:3)\n"
                                          "    at outer (stack.js:4:20)\n"
                                          "    at stack.js:5:1\n");
    EXPECT_FALSE(host().Evaluate("throw 5", ""));
    EXPECT_EQ(host().GetLastError(), "<no fileName=>:1:1: uncaught exception: 5");
    // Outside any script call nobody would see an exception: reported at once.
    host().ReportError("Error, %s.", "from the engine");
    EXPECT_EQ(host().GetLastError(), "<no fileName=>: Error, from the engine.");
    EXPECT_EQ(host().GetLastStackTrace(), "");
    host().ReportWarning("Warning: %d", 3);
    EXPECT_EQ(host().GetLastError(), "<no fileName=>: Warning: 3");

    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("game.js:3:9: boom\n"), std::string::npos);
    EXPECT_NE(err.find("stack.js:2:3: uncaught exception: x\n    at inner (stack.js:2:3)\n"),
              std::string::npos)
        << err;
    EXPECT_EQ(Eval("6 * 7"), "42"); // the context is usable after every one of them

    // RunFile nests, and reports inner errors and missing files.
    TempFolder folder;
    // Every byte is one character.
    const std::string inner = folder.Write(
        "inner.js", "innerRuns++; code = '\xe9'.charCodeAt(0);\nthrow new Error('in');\n");
    const std::string outer =
        folder.Write("outer.js", "var innerRuns = 0, code;\nvar r = RunFile('" + inner +
                                     "');\nvar after = 'went on: ' + r;\nRunFile();\nRunFile('" +
                                     inner + "', 'b');\n");
    EXPECT_TRUE(host().RunFile(outer));
    EXPECT_EQ(host().GetLastError(), inner + ":2:7: in");
    // RunFile() and RunFile(a, b) did nothing.
    EXPECT_EQ(Eval("[after, innerRuns, code].join()"), "went on: undefined,1,233");
    EXPECT_FALSE(host().RunFile(inner));

    const std::string missing = (folder.path / "missing.js").string();
    EXPECT_FALSE(host().RunFile(missing));
    EXPECT_EQ(host().GetLastError().rfind(missing + ": cannot open the script file", 0), 0u)
        << host().GetLastError();
    EXPECT_EQ(Eval("RunFile('" + missing + "'); 'caller goes on'"), "caller goes on");
    EXPECT_NE(host().GetLastError().find(missing), std::string::npos);
    // A folder opens on some systems but cannot be read as a script.
    EXPECT_FALSE(host().RunFile(folder.path.string()));
    EXPECT_NE(host().GetLastError().find(folder.path.string()), std::string::npos);
}

// These need an engine that was never started; a child process gives them
// one even when the whole suite runs in one process. Records a script made and
// never broadcast go back to the pool when the engine shuts down, whether main
// shuts it down or the exit does; copies of video modes are freed too (a
// leak-checking build sees those).
TEST(ScriptHostLifetime, HeapLimitShutdownAndWhatScriptsStillHoldBeforeDuringAndAfterARun) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const auto messagesInUse = [] { return MessagePool::Instance().GetStatistics()->ObjectsInUse; };
    const std::string hold = "var kept = [MouseWheelMessage.Create(1), "
                             "RegisterAntBarMessage.Create('bar', 1, 2, 3, 4), "
                             "Core.Instance().WindowSystem_.GetVideoMode(99)];";
    EXPECT_EXIT(
        {
            ScriptHost& host = ScriptHost::Instance();
            host.Shutdown(); // never initialised
            bool ok = host.GetHeapLimitBytes() == ScriptHost::kDefaultHeapLimitBytes;
            host.SetHeapLimitBytes(size_t(96) << 20);
            const size_t before = messagesInUse();
            ok = ok && host.Initialize() && host.Initialize() && host.Evaluate(hold, "hold.js");
            ok = ok && messagesInUse() == before + 2;
            JSContext* cx = host.GetContext();
            ok = ok && JS_GetGCParameter(cx, JSGC_MAX_BYTES) == 96u << 20 &&
                 JS_GetGCParameter(cx, JSGC_MAX_NURSERY_BYTES) == ScriptHost::kNurseryLimitBytes;
            host.SetHeapLimitBytes(size_t(128) << 20); // applies to a running context too
            ok = ok && JS_GetGCParameter(cx, JSGC_MAX_BYTES) == 128u << 20;
            host.Shutdown();
            host.Shutdown();
            ok = ok && messagesInUse() == before && !host.GetContext() && !host.GetGlobal() &&
                 !host.RunFile("any.js");
            // The engine cannot start twice in one process; that is refused.
            std::exit(ok && !host.Initialize() ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            ScriptHost& host = ScriptHost::Instance();
            std::exit(host.Initialize() && host.Evaluate(hold, "") ? 0 : 1); // shut down after main
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
