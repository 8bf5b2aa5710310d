// The web platform's globals as packages use them: results, edge cases the
// standards pin down, and the errors for bad arguments.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

namespace {

using WebPlatform = ScriptTest;

TEST_F(WebPlatform, GlobalsFollowTheStandardsAndMicrotasksAndOutputGoWhereBrowsersSendThem) {
    // UTF-8 both ways: a lone surrogate encodes as U+FFFD; each maximal invalid
    // sequence decodes as one, a cut-off one at the end too; a BOM is dropped.
    EXPECT_EQ(Eval("[...new TextEncoder().encode('a\\u00e9\\u20ac\\u{1F600}\\ud800')].join()"),
              "97,195,169,226,130,172,240,159,152,128,239,191,189");
    EXPECT_EQ(Eval("JSON.stringify(new TextEncoder().encodeInto('a\\u20ac', new Uint8Array(3)))"),
              "{\"read\":1,\"written\":1}");
    Eval("var hex = (s) => [...s].map((c) => c.codePointAt(0).toString(16)).join(' ');"
         "var utf8 = (...b) => new Uint8Array(b);");
    EXPECT_EQ(Eval("hex(new TextDecoder().decode(utf8(0xef, 0xbb, 0xbf, 0x61, 0xc3, 0x28, 0xf0, "
                   "0x9f, 0x98, 0x80, 0xed, 0xa0, 0x80, 0xe2, 0x82)))"),
              "61 fffd 28 1f600 fffd fffd fffd fffd");
    EXPECT_EQ(Eval("hex(new TextDecoder('UTF8', { ignoreBOM: true }).decode(new DataView(utf8(0xef,"
                   " 0xbb, 0xbf, 0x62).buffer)))"),
              "feff 62");
    EXPECT_EQ(Eval("var d = new TextDecoder(); hex(d.decode(utf8(0xe2, 0x82), { stream: true }) + "
                   "d.decode(utf8(0xac).buffer))"),
              "20ac");
    EXPECT_EQ(Eval("try { new TextDecoder('utf-8', { fatal: true }).decode(utf8(0xff)) } catch (e) "
                   "{ e instanceof TypeError }"),
              "true");
    EXPECT_EQ(Eval("try { new TextDecoder('latin1') } catch (e) { e instanceof RangeError }"),
              "true");

    // Base64 of bytes; whitespace tolerated, padding optional, anything else refused.
    EXPECT_EQ(Eval("[btoa('\\xff\\x00a'), btoa('fo'), [...atob(' /wB h\\n')].map((c) => "
                   "c.charCodeAt(0)), atob('Zm8'), atob('Zm9v')].join(' ')"),
              "/wBh Zm8= 255,0,97 fo foo");
    for (const char* bad : {"btoa('\\u20ac')", "atob('Zg=')", "atob('a')", "atob('Zm9v*')"})
        EXPECT_EQ(Eval(std::string("try { ") + bad + " } catch (e) { e.name }"),
                  "InvalidCharacterError")
            << bad;

    // Clones as browsers do, cycles and transfers included; what cannot be
    // cloned is named.
    EXPECT_EQ(Eval("var a = { m: new Map([[1, { x: 2 }]]), d: new Date(5), t: new Int16Array([1, "
                   "-2]) }; a.self = a; var c = structuredClone(a);"
                   "[c !== a, c.self === c, c.m.get(1).x, c.d.getTime(), c.t[1], c.m !== a.m]"),
              "true,true,2,5,-2,true");
    EXPECT_EQ(Eval("var b = new ArrayBuffer(8); var t = structuredClone(b, { transfer: [b] }); "
                   "[b.byteLength, t.byteLength]"),
              "0,8");
    EXPECT_EQ(Eval("try { structuredClone({ hud: { onHit() {} } }) } catch (e) { e.name + ': ' + "
                   "e.message }"),
              "DataCloneError: structuredClone: the function onHit cannot be cloned");
    EXPECT_EQ(Eval("try { structuredClone([Symbol()]) } catch (e) { e.message }"),
              "structuredClone: a symbol cannot be cloned");
    EXPECT_EQ(Eval("try { structuredClone({ get x() { throw new Error('own') } }) } catch (e) { "
                   "e.message }"),
              "own");

    // Random bytes in place, integer arrays only, at most 64 KiB a call.
    EXPECT_EQ(Eval("var r = new Uint32Array(16384); crypto.getRandomValues(r) === r && "
                   "r.some((x) => x !== 0)"),
              "true");
    EXPECT_EQ(Eval("try { crypto.getRandomValues(new Uint8Array(65537)) } catch (e) { e.name }"),
              "QuotaExceededError");
    EXPECT_EQ(Eval("var u = crypto.randomUUID(); /^[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab]"
                   "[0-9a-f]{3}-[0-9a-f]{12}$/.test(u) && u !== crypto.randomUUID()"),
              "true");

    // The steady clock is not game time: ten seconds of game time move it by
    // the real time they took.
    Eval("var before = performance.now();");
    host().GetTimers().Update(10.0);
    EXPECT_EQ(Eval("var after = performance.now(); after >= before && after - before < 10000 && "
                   "Math.abs(performance.timeOrigin + after - Date.now()) < 60000"),
              "true");
    EXPECT_EQ(Eval("self === globalThis"), "true");

    // Bad arguments are TypeErrors reported at the game's line, never inside
    // the engine's own script.
    const std::vector<std::pair<std::string, std::string>> misuses = {
        {"crypto.getRandomValues(new Float32Array(2))",
         "TypeError: crypto.getRandomValues: argument 1 must be an integer typed array "
         "(Uint8Array, "
         "Int32Array, ...), got a Float32Array"},
        {"queueMicrotask('later()')",
         "TypeError: queueMicrotask: argument 1 must be a function, got a string \"later()\""},
        {"new TextDecoder().decode(42)", "TypeError: TextDecoder.decode: argument 1 must be an "
                                         "ArrayBuffer, a typed array or a DataView, got number"},
        {"btoa()", "TypeError: btoa: 1 argument is needed, got 0"},
        {"new TextEncoder().encodeInto('x', [])",
         "TypeError: TextEncoder.encodeInto: argument 2 must be a Uint8Array"},
    };
    for (const auto& [call, message] : misuses) {
        const std::string error = ErrorOf("function use() {\n  " + call + ";\n}\nuse();");
        EXPECT_EQ(error.rfind("test.js:2:", 0), 0u) << error;
        EXPECT_EQ(error.substr(error.find(": ") + 2), message);
        EXPECT_EQ(host().GetLastStackTrace().find("web-platform"), std::string::npos);
    }

    // Microtasks and console output go where browsers send them.
    std::vector<std::string> shown;
    host().AddOutputListener(this, [&](const std::string& line) { shown.push_back(line); });
    // Microtasks run with the promise jobs, in the order queued, after the script.
    Eval("var log = []; queueMicrotask(() => log.push('m1')); Promise.resolve().then(() => "
         "log.push('p')); queueMicrotask(() => log.push('m2')); log.push('script');");
    EXPECT_EQ(Eval("log.join()"), "script,m1,p,m2");
    Eval(
        "queueMicrotask(() => { throw new Error('boom'); }); queueMicrotask(() => log.push('on'))");
    EXPECT_NE(host().GetLastError().find("boom"), std::string::npos);
    EXPECT_EQ(Eval("log.at(-1)"), "on");

    shown.clear();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Eval("console.info('i', 1); console.warn('w'); console.error('e', true);"
         "console.assert(1 > 2, 'hp', 3); console.assert(false); console.assert(true, 'never');"
         "console.time('load'); console.timeEnd('load'); console.timeEnd('load');"
         "console.count(); console.count(); console.countReset(); console.count('x');");
    const std::string out = testing::internal::GetCapturedStdout();
    const std::string err = testing::internal::GetCapturedStderr();
    host().RemoveOutputListener(this);
    EXPECT_EQ(err, "w\ne true\nAssertion failed: hp 3\nAssertion failed\nTimer \"load\" does not "
                   "exist\n");
    ASSERT_EQ(shown.size(), 10u);
    EXPECT_EQ(shown[0], "i 1");
    EXPECT_TRUE(testing::internal::RE::FullMatch(shown[5], "load: [0-9.]+ ms")) << shown[5];
    EXPECT_NE(out.find("i 1\nload: "), std::string::npos) << out;
    EXPECT_NE(out.find(" ms\ndefault: 1\ndefault: 2\nx: 1\n"), std::string::npos) << out;
}

} // namespace
