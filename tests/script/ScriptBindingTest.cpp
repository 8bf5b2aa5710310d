// The binding framework and every value conversion, through a class bound
// here with the same framework the engine uses.

#include <cmath>
#include <cstring>
#include <stdexcept>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "script/ScriptApiReference.h"
#include "script/ScriptCallback.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"
#include "script/ScriptWrapper.h"

namespace {

struct Probe {
    bool flag = false;
    uint16_t small = 0;
    uint32_t count = 0;
    int32_t offset = 0;
    float ratio = 0.0f;
    std::string text;
    glm::vec2 v2{0.0f};
    glm::vec3 v3{0.0f};
    glm::vec4 v4{0.0f};
    glm::ivec2 cell{0};
    glm::quat rotation{1.0f, 0.0f, 0.0f, 0.0f};
    glm::mat2 m2{1.0f};
    glm::mat3 m3{1.0f};
    glm::mat4 m4{1.0f};
    ScriptCallback callback;
    Probe* partner = nullptr;
    int touched = 0;

    static Probe* Instance() {
        static Probe probe;
        return &probe;
    }
    static Probe* None() { return nullptr; }
    static bool IsProbe(Probe* probe) { return probe == Instance(); }
    static uint32_t GetDoubled(const Probe& probe) { return probe.count * 2; }
    static void SetDoubled(Probe& probe, uint32_t value) { probe.count = value / 2; }
    void Touch() { ++touched; }
    int32_t Add(int32_t a, int32_t b) { return a + b; }
    std::string Join(const std::string& a, const std::string& b) { return a + "|" + b; }
    glm::vec3 Scale(glm::vec3 v, float k) const { return v * k; }
    void Fail() { ScriptHost::Instance().ReportError("Error, the probe refused."); }
    void Throw() { throw std::runtime_error("pool exhausted"); }
};
Probe& TheProbe() {
    return *Probe::Instance();
}

using S = script::ScriptClass<Probe>;
const S probeClass("Probe", {S::Property<&Probe::flag>("flag"),
                             S::Property<&Probe::small>("small"),
                             S::Property<&Probe::count>("count"),
                             S::Property<&Probe::offset>("offset"),
                             S::Property<&Probe::ratio>("ratio"),
                             S::Property<&Probe::text>("text"),
                             S::Property<&Probe::v2>("v2"),
                             S::Property<&Probe::v3>("v3"),
                             S::Property<&Probe::v4>("v4"),
                             S::Property<&Probe::cell>("cell"),
                             S::Property<&Probe::rotation>("rotation"),
                             S::Property<&Probe::m2>("m2"),
                             S::Property<&Probe::m3>("m3"),
                             S::Property<&Probe::m4>("m4"),
                             S::Property<&Probe::callback>("callback"),
                             S::Property<&Probe::partner>("partner"),
                             S::Property<&Probe::GetDoubled, &Probe::SetDoubled>("doubled"),
                             S::Property<&Probe::GetDoubled, nullptr>("readOnlyDoubled"),
                             S::Constant<7>("SEVEN"),
                             S::Function<&Probe::Instance>("Instance"),
                             S::Function<&Probe::None>("None"),
                             S::Function<&Probe::IsProbe>("IsProbe"),
                             S::Method<&Probe::Touch>("Touch"),
                             S::Method<&Probe::Add>("Add"),
                             S::Method<&Probe::Join>("Join"),
                             S::Method<&Probe::Scale>("Scale"),
                             S::Method<&Probe::Fail>("Fail"),
                             S::Method<&Probe::Throw>("Throw")});

// Another class, to call Probe's methods with the wrong `this`.
struct Bystander {
    static Bystander* Instance() {
        static Bystander bystander;
        return &bystander;
    }
};
using B = script::ScriptClass<Bystander>;
const B bystanderClass("Bystander", {B::Function<&Bystander::Instance>("Instance")});

class Binding : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        TheProbe() = Probe();
        Eval("var p = Probe.Instance();");
    }
};

TEST_F(Binding, NumbersBooleansStringsVectorsAndMatricesCrossBothWays) {
    // Unsigned values above 2147483647 are numbers, never negative.
    EXPECT_EQ(Eval("p.count = 4294967295; p.count"), "4294967295");
    EXPECT_EQ(TheProbe().count, 4294967295u);
    TheProbe().count = 2147483648u;
    TheProbe().small = 65535;
    EXPECT_EQ(Eval("p.count > 0 && p.count === 2147483648 && p.small === 65535"), "true");
    EXPECT_EQ(Eval("p.offset = -7.9; var o = p.offset; p.offset = -2147483648; [o, p.offset]"),
              "-7,-2147483648"); // toward zero
    EXPECT_EQ(
        Eval("p.flag = 1; var f = typeof p.flag + ' ' + p.flag; p.flag = 0; f + ' ' + p.flag"),
        "boolean true false");

    EXPECT_EQ(Eval("p.ratio = 0.1; p.ratio === Math.fround(0.1)"), "true");
    EXPECT_FLOAT_EQ(TheProbe().ratio, 0.1f);
    // A NaN with a payload must not be taken for some other kind of value.
    uint32_t bits = 0x7fa00001u;
    std::memcpy(&TheProbe().ratio, &bits, sizeof bits);
    TheProbe().v3 = glm::vec3(TheProbe().ratio);
    EXPECT_EQ(Eval("[typeof p.ratio, Number.isNaN(p.ratio), p.v3.every(Number.isNaN)].join()"),
              "number,true,true");

    // Strings are one byte per character.
    TheProbe().text = "caf\xe9";
    EXPECT_EQ(Eval("p.text.length + ' ' + p.text.charCodeAt(3)"), "4 233");
    Eval("p.text = 'a\\u0101b\\0z'"); // low byte of every character, NUL kept
    EXPECT_EQ(TheProbe().text, std::string("a\1b\0z", 5));

    // Vectors, quaternions and matrices are arrays.
    TheProbe().v3 = {1.0f, 2.5f, -3.0f};
    EXPECT_EQ(Eval("p.v3 + ' ' + (p.v3 !== p.v3)"), "1,2.5,-3 true"); // a new array every read
    Eval("p.v2 = [5, 6]; p.v3 = [7, 8, NaN]; p.v4 = [1, -Infinity, 3, 4]; p.cell = [3.9, -2.7]");
    EXPECT_EQ(TheProbe().v2, glm::vec2(5.0f, 6.0f));
    EXPECT_EQ(glm::vec2(TheProbe().v3), glm::vec2(7.0f, 8.0f));
    EXPECT_TRUE(std::isnan(TheProbe().v3.z) && std::isinf(TheProbe().v4.y));
    EXPECT_EQ(TheProbe().v4.w, 4.0f);
    EXPECT_EQ(TheProbe().cell, glm::ivec2(3, -2));
    EXPECT_EQ(Eval("p.cell"), "3,-2");

    // Quaternions are [x, y, z, w].
    EXPECT_EQ(Eval("p.rotation"), "0,0,0,1"); // identity
    Eval("p.rotation = [0.5, 0.25, -1, 2]");
    const glm::quat& q = TheProbe().rotation;
    EXPECT_EQ(glm::vec4(q.x, q.y, q.z, q.w), glm::vec4(0.5f, 0.25f, -1.0f, 2.0f));

    // Matrices are arrays of columns.
    EXPECT_EQ(Eval("JSON.stringify(p.m3)"), "[[1,0,0],[0,1,0],[0,0,1]]");
    Eval(
        "p.m2 = [[1, 2], [3, 4]]; p.m4 = [[1, 0, 0, 0], [0, 1, 0, 0], [0, 0, 1, 0], [7, 8, 9, 1]]");
    EXPECT_EQ(TheProbe().m2[0][1], 2.0f); // column 0, row 1
    EXPECT_EQ(TheProbe().m2[1][0], 3.0f);
    EXPECT_EQ(TheProbe().m4[3], glm::vec4(7.0f, 8.0f, 9.0f, 1.0f)); // the translation
    EXPECT_EQ(Eval("JSON.stringify([p.m2, p.m4[3]])"), "[[[1,2],[3,4]],[7,8,9,1]]");
}

// A value that is nearly right would otherwise arrive as NaN or 0 far from
// the line that wrote it: the wrong kind or shape is an error naming class,
// member and the expected type, and the engine object keeps what it had.
TEST_F(Binding, ValuesOfTheWrongKindOrShapeAreRefusedAndChangeNothing) {
    Eval("p.v2 = [1, 2]; p.v3 = [1, 2, 3]; p.v4 = [1, 2, 3, 4]; p.cell = [5, 6];"
         "p.rotation = [0, 0, 0, 1]; p.m2 = [[1, 2], [3, 4]]; p.count = 7; p.offset = -7;"
         "p.ratio = 0.5; p.small = 9; p.flag = true; p.text = 'kept';"
         "var state = () => JSON.stringify([p.v2, p.v3, p.v4, p.cell, p.rotation, p.m2, p.count,"
         "  p.offset, p.ratio, p.small, p.flag, p.text, p.partner]), before = state();");
    const std::string vec3 = "v3: the value must be vec3 [x, y, z], got ";
    const std::string mat2 = "m2: the value must be mat2 (array of 2 columns), got an array ";
    // Each statement, and its error after "Error in Probe.".
    const std::pair<const char*, std::string> cases[] = {
        {"p.v3 = [1, 2]", vec3 + "an array [1,2]."},
        {"p.v3 = [1, '2', 3]", vec3 + "an array [1,\"2\",3]."},
        {"p.v3 = [1, , 3]", vec3 + "an array [1,undefined,3]."},
        {"p.v3 = [1, null, [3]]", vec3 + "an array [1,null,[...]]."},
        {"p.v3 = new Float32Array(3)", vec3 + "an object."},
        {"p.v3 = '1,2,3'", vec3 + "a string \"1,2,3\"."},
        {"p.v3 = Array(1000).fill(0)", vec3 + "an array of 1000 elements [0,0,0,0,0,0,...]."},
        {"p.v4 = [0.5, 0.5, 0.5]", "v4: the value must be vec4 [x, y, z, w], got an array "
                                   "[0.5,0.5,0.5]."},
        {"p.v2 = 2", "v2: the value must be vec2 [x, y], got a number."},
        {"p.cell = [1]", "cell: the value must be integer pair [x, y], got an array [1]."},
        {"p.rotation = [0, 0, 1]", "rotation: the value must be quaternion [x, y, z, w], got an "
                                   "array [0,0,1]."},
        {"p.m2 = [[1, 2]]", mat2 + "[[...]]."},
        {"p.m2 = [[1, 2], [3]]", mat2 + "[[...],[...]]."},
        {"p.m2 = [1, 2, 3, 4]", mat2 + "[1,2,3,4]."},
        // Numbers are numbers: no string, boolean, null or undefined.
        {"p.count = '12'", "count: the value must be unsigned integer, got a string \"12\"."},
        {"p.count = true", "count: the value must be unsigned integer, got a boolean."},
        {"p.offset = null", "offset: the value must be integer, got null."},
        {"p.small = undefined", "small: the value must be integer, got undefined."},
        {"p.ratio = [0.5]", "ratio: the value must be number, got an array [0.5]."},
        // Every string and object would be true.
        {"p.flag = 'false'", "flag: the value must be boolean, got a string \"false\"."},
        {"p.flag = null", "flag: the value must be boolean, got null."},
        {"p.text = 5", "text: the value must be string, got a number."},
        {"p.Join('a', {})", "Join: argument 2 must be string, got an object."},
        {"p.Scale([1, 2], 2)", "Scale: argument 1 must be vec3 [x, y, z], got an array [1,2]."},
        {"p.doubled = '8'", "doubled: the value must be unsigned integer, got a string \"8\"."},
        // Engine objects are of their own class, never null.
        {"p.partner = Bystander.Instance()",
         "partner: the value must be Probe, got a Bystander object."},
        {"p.partner = null", "partner: the value must be Probe, got null."},
        {"Probe.IsProbe(Probe)", "IsProbe: argument 1 must be Probe, got the Probe class object."},
    };
    for (const auto& [statement, message] : cases) {
        EXPECT_EQ(
            Eval(std::string("try { ") + statement + "; 'accepted' } catch (e) { e.message }"),
            "Error in Probe." + message)
            << statement;
    }
    EXPECT_EQ(Eval("state() === before"), "true");
    // Reported where the offending value was written.
    EXPECT_EQ(ErrorOf("\n  p.text = 5"),
              "test.js:2:3: Error in Probe.text: the value must be string, got a number.");

    // What is accepted: numbers of any size wrap as the language's integer
    // conversions do, and booleans take numbers as well.
    EXPECT_EQ(Eval("p.count = -1; p.offset = 4294967297; p.small = 65537.9; p.flag = 0;"
                   "[p.count, p.offset, p.small, p.flag].join()"),
              "4294967295,1,1,false");
    EXPECT_EQ(Eval("p.flag = 2; p.ratio = Infinity; [p.flag, p.ratio].join()"), "true,Infinity");

    // Engine failures are script errors too, and the context goes on.
    EXPECT_EQ(Eval("try { p.Fail(); 'no' } catch (e) { e.message }"), "Error, the probe refused.");
    EXPECT_EQ(ErrorOf("p.Throw()"), "test.js:1:3: Error in Probe.Throw: pool exhausted");
    EXPECT_EQ(Eval("'the context goes on'"), "the context goes on");
}

TEST_F(Binding, EngineObjectsAreNewWrappersOrNullBehindAccessorsAndConstants) {
    EXPECT_EQ(Eval("Probe.Instance() === Probe.Instance()"), "false");
    EXPECT_EQ(Eval("Probe.None()"), "null");
    Eval("p.partner = Probe.Instance()");
    EXPECT_EQ(TheProbe().partner, &TheProbe());
    EXPECT_EQ(Eval("Probe.IsProbe(p.partner) && p.partner !== p.partner"), "true");

    JSObject* wrapper = NewScriptWrapper(&TheProbe());
    ASSERT_NE(wrapper, nullptr);
    EXPECT_STREQ(JS::GetClass(wrapper)->name, "Probe");
    int unbound = 0;
    EXPECT_EQ(NewScriptWrapper(&unbound), nullptr);

    // Accessors, constants and what a script can enumerate.
    EXPECT_EQ(Eval("p.doubled = 10; p.readOnlyDoubled = 99; [p.doubled, p.readOnlyDoubled]"),
              "10,10");
    EXPECT_EQ(TheProbe().count, 5u);
    EXPECT_EQ(Eval("Probe.SEVEN = 5; [Probe.SEVEN, p.SEVEN,"
                   " (function() { 'use strict'; Probe.SEVEN = 5; return Probe.SEVEN; })()]"),
              "7,7,7");
    EXPECT_EQ(Eval("var d = Object.getOwnPropertyDescriptor(Probe, 'flag');"
                   "[Object.keys(p).length + Object.keys(Probe).length, typeof d.get,"
                   " typeof d.set, d.enumerable, Object.getPrototypeOf(p) === Probe].join()"),
              "0,function,function,false,true");
}

TEST_F(Binding, AWrongArgumentCountDoesNothingAndIsReportedOncePerCallingLine) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("[p.Add(2, 3), p.Add(1), p.Add(1, 2, 3), p.Touch(1), Probe.Instance(5),"
                   " p.Add.length, Probe.Instance.length, p.Add(), p.Touch(1)].join()"),
              "5,,,,,2,0,,");
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(TheProbe().touched, 0);
    Eval("p.Touch()");
    EXPECT_EQ(TheProbe().touched, 1);

    // The first wrong call of each function on that line, where it was made;
    // later ones there stay quiet.
    for (const char* warning :
         {"warning: Probe.Add takes 2 arguments, was called with 1; the call does nothing",
          "warning: Probe.Touch takes 0 arguments, was called with 1;",
          "warning: Probe.Instance takes 0 arguments, was called with 1;"})
        EXPECT_NE(warnings.find(warning), std::string::npos) << warning << "\n" << warnings;
    EXPECT_EQ(warnings.find("test.js:"), 0u) << warnings;
    size_t lines = 0;
    for (char c : warnings)
        lines += c == '\n';
    EXPECT_EQ(lines, 3u) << warnings;

    // Every other line with the same mistake is reported too, a loop once.
    testing::internal::CaptureStderr();
    Eval("for (var i = 0; i < 3; ++i)\n  p.Add(i);\np.Add(1); p.Add(2);\np.Touch(1);");
    const std::string more = testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(more, "test.js:2: warning: Probe.Add takes 2"), 1u) << more;
    EXPECT_EQ(CountOf(more, "test.js:3: warning: Probe.Add takes 2"), 1u) << more;
    EXPECT_EQ(CountOf(more, "test.js:4: warning: Probe.Touch takes 0"), 1u) << more;
    EXPECT_EQ(CountOf(more, "\n"), 3u) << more;
}

TEST_F(Binding, AccessThroughTheClassObjectReportsMissingPrivateData) {
    EXPECT_EQ(ErrorOf("Probe.count"),
              "test.js:1:1: Error, Private data could not be retrieved in JSGet_count.");
    EXPECT_EQ(ErrorOf("\nProbe.flag = true"),
              "test.js:2:1: Error, Private data could not be retrieved in JSSet_flag.");

    EXPECT_EQ(ErrorOf("Probe.Touch()"),
              "test.js:1:7: Error, Private data could not be retrieved in Probe.Touch: call it on "
              "a Probe object, not on the class object.");
    EXPECT_EQ(ErrorOf("p.Touch.call(Bystander.Instance())"),
              "test.js:1:9: Error, Private data could not be retrieved in Probe.Touch: 'this' is a "
              "Bystander object, not a Probe object.");
    EXPECT_EQ(ErrorOf("p.Add.call(5, 1, 2)"),
              "test.js:1:7: Error, Private data could not be retrieved in Probe.Add: 'this' is a "
              "number, not a Probe object.");
    EXPECT_EQ(TheProbe().touched, 0);
}

TEST_F(Binding, StoredCallbacksSurviveAFullCollectionAndOnlyFunctionsAreCalled) {
    // The closure is reachable only through the engine's field.
    Eval("(function() { var hits = 0; Probe.Instance().callback = function(a, b, c) {"
         "  hits += a; globalThis.seen = [this === globalThis, a, b, c !== null && "
         "Probe.IsProbe(c), hits];"
         "}; })()");

    JSContext* cx = host().GetContext();
    JS::PrepareForFullGC(cx);
    JS::NonIncrementalGC(cx, JS::GCOptions::Shrink, JS::GCReason::API);
    Eval("var junk = []; for (var i = 0; i < 20000; ++i) junk.push(function() { return i; });"
         "junk = null;");
    host().CollectGarbage();

    EXPECT_TRUE(TheProbe().callback.Call({2, "two", ScriptArg::Wrapper(&TheProbe())}));
    EXPECT_TRUE(TheProbe().callback.Call({3, "three", ScriptArg::Wrapper(&TheProbe())}));
    EXPECT_EQ(Eval("seen.join()"), "true,3,three,true,5");

    // A copy keeps the function alive on its own.
    ScriptCallback copy = TheProbe().callback;
    Eval("p.callback = null");
    EXPECT_TRUE(TheProbe().callback.IsNull());
    host().CollectGarbage();
    EXPECT_TRUE(copy.Call({1, "one", ScriptArg::Wrapper<Probe>(nullptr)}));
    EXPECT_EQ(Eval("seen.join()"), "true,1,one,false,6");

    // Any value is stored as it is; only functions are called.
    EXPECT_EQ(Eval("var f = function() {}; p.callback = f; p.callback === f"), "true");
    Eval("p.callback = 5");
    EXPECT_FALSE(TheProbe().callback.IsFunction());
    EXPECT_FALSE(TheProbe().callback.Call());
    EXPECT_EQ(Eval("p.callback"), "5");

    // A throwing callback is reported and cleared; the engine goes on.
    Eval("p.callback = function() { throw new Error('callback failed'); }");
    EXPECT_FALSE(TheProbe().callback.Call());
    EXPECT_EQ(host().GetLastError(), "test.js:1:33: callback failed");
    EXPECT_EQ(Eval("'still fine'"), "still fine");

    // A callback may replace itself while it runs.
    Eval("p.callback = function() { Probe.Instance().callback = null; globalThis.ran = 1; }");
    EXPECT_TRUE(TheProbe().callback.Call());
    EXPECT_TRUE(TheProbe().callback.IsNull());
    EXPECT_EQ(Eval("ran"), "1");
}

TEST(ScriptApiReference, ListsEveryClassWithItsMembersFromTheTables) {
    const std::string reference = script::ApiReferenceMarkdown();
    const size_t probe = reference.find("\n## Probe\n");
    ASSERT_NE(probe, std::string::npos);
    EXPECT_LT(reference.find("\n## Bystander\n"), probe); // sorted by name
    for (const char* row :
         {"| `count` | property | - | unsigned integer |", "| `partner` | property | - | Probe |",
          "| `SEVEN` | constant | - | = 7 |", "| `Instance` | function | 0 | () -> Probe |",
          "| `Add` | method | 2 | (integer, integer) -> integer |",
          // The host's own functions, and notes beyond the type.
          "| `print` | any number of values |", "| `console.log` |", "| `RunFile` | 1: path |",
          "| `stringTest` | property | - | string; *for tests only*"})
        EXPECT_NE(reference.find(row), std::string::npos) << row;
    EXPECT_LT(reference.find("## Global functions"), reference.find("\n## Core\n"));
}

} // namespace
