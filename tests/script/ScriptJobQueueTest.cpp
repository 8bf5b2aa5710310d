// Promise jobs, rejections nobody handles, and the built-ins that need the
// host's help: each works or fails as a script error, never a crash.
#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

namespace {

TEST_F(ScriptTest, PromiseJobsRunAfterEveryEntryUnhandledRejectionsAreReportedAndBuiltInsWork) {
    // Start-up scripts and RunFile: jobs run once the outermost file is done,
    // never while a script is still on the stack.
    TempFolder folder;
    const std::string inner =
        folder.Write("inner.js", "Promise.resolve().then(function () { log.push('inner job'); });\n"
                                 "log.push('inner');\n");
    const std::string outer =
        folder.Write("outer.js", "var log = [];\n"
                                 "Promise.resolve().then(function () { log.push('then'); });\n"
                                 "async function later() { await null; log.push('async'); }\n"
                                 "later();\n"
                                 "RunFile('" +
                                     inner +
                                     "');\n"
                                     "log.push('sync');\n");
    EXPECT_TRUE(host().RunFile(outer));
    EXPECT_EQ(Eval("log.join()"), "inner,sync,then,async,inner job");

    // Callbacks: what the callback queued has run when the call returns,
    // including chains that queue further jobs.
    Eval("log = []; Hook.Instance().callback = function (n) {"
         "  Promise.resolve(n).then(function (v) { return v * 2; })"
         "    .then(function (v) { log.push(v); }); }");
    EXPECT_TRUE(Hook::Instance()->callback.Call({21}));
    EXPECT_EQ(Eval("log.join()"), "42");

    // Rejections nobody handles are reported with where they happened.
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(host().Evaluate("var unused = 0;\nPromise.reject(new Error('nope'));", "rej.js"));
    EXPECT_EQ(host().GetLastError(), "rej.js:2:16: unhandled promise rejection: nope");

    // A plain value has no position of its own: where it was rejected.
    EXPECT_TRUE(host().Evaluate("\n\n  Promise.reject(5);", "plain.js"));
    EXPECT_EQ(host().GetLastError(), "plain.js:3:11: unhandled promise rejection: 5");

    // An async function that throws after an await, with its stack.
    EXPECT_TRUE(host().Evaluate("async function load() {\n  await null;\n"
                                "  throw new TypeError('late');\n}\nload();",
                                "async.js"));
    EXPECT_EQ(host().GetLastError(), "async.js:3:9: unhandled promise rejection: TypeError: late");
    EXPECT_NE(host().GetLastStackTrace().find("at load (async.js:3:9)"), std::string::npos)
        << host().GetLastStackTrace();

    // Handled in the same turn, or caught inside the async function: silent.
    EXPECT_TRUE(host().Evaluate("var p = Promise.reject(1); p.catch(function () {});"
                                "(async function () { try { await Promise.reject(2); }"
                                "  catch (e) {} })();",
                                "handled.js"));
    EXPECT_EQ(host().GetLastError(), "async.js:3:9: unhandled promise rejection: TypeError: late");
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("rej.js:2:16: unhandled promise rejection: nope\n"), std::string::npos)
        << err;
    EXPECT_EQ(err.find("handled.js"), std::string::npos) << err;

    // Built-ins that need the host work, or fail as script errors.
    ::testing::internal::CaptureStderr();
    // There is one thread: no shared memory, and nothing to wait for.
    EXPECT_EQ(ErrorOf("new SharedArrayBuffer(8)"),
              "test.js:1:1: ReferenceError: SharedArrayBuffer is not defined");
    EXPECT_EQ(ErrorOf("Atomics.wait(new Int32Array(4), 0, 0)"),
              "test.js:1:1: ReferenceError: Atomics is not defined");

    // Dates and the international formats.
    EXPECT_EQ(Eval("[new Date(Date.UTC(2020, 1, 29)).toISOString(), Date.now() > 1.6e12,"
                   " new Date(0).toLocaleDateString('en-US', {timeZone: 'UTC'}),"
                   " new Intl.NumberFormat('en-US').format(1234.5)].join(' ')"),
              "2020-02-29T00:00:00.000Z true 1/1/1970 1,234.5");
    ::testing::internal::GetCapturedStderr();
}

} // namespace
