// The binding framework and every value conversion, through a class bound
// here with the same framework the engine uses.

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <vector>

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

    void Touch() { ++touched; }
    int32_t Add(int32_t a, int32_t b) { return a + b; }
    std::string Join(const std::string& a, const std::string& b) { return a + "|" + b; }
    glm::vec3 Scale(glm::vec3 v, float k) const { return v * k; }
    void Fail() { ScriptHost::Instance().ReportError("Error, the probe refused."); }
    void Throw() { throw std::runtime_error("pool exhausted"); }
};

Probe& TheProbe() {
    static Probe probe;
    return probe;
}
Probe* ProbeInstance() {
    return &TheProbe();
}
Probe* NoProbe() {
    return nullptr;
}
bool IsProbe(Probe* probe) {
    return probe == &TheProbe();
}
uint32_t GetDoubled(const Probe& probe) {
    return probe.count * 2;
}
void SetDoubled(Probe& probe, uint32_t value) {
    probe.count = value / 2;
}

using S = script::ScriptClass<Probe>;
const S probeClass("Probe", {
                                S::Property<&Probe::flag>("flag"),
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
                                S::Property<&GetDoubled, &SetDoubled>("doubled"),
                                S::Property<&GetDoubled, nullptr>("readOnlyDoubled"),
                                S::Constant<7>("SEVEN"),
                                S::Function<&ProbeInstance>("Instance"),
                                S::Function<&NoProbe>("None"),
                                S::Function<&IsProbe>("IsProbe"),
                                S::Method<&Probe::Touch>("Touch"),
                                S::Method<&Probe::Add>("Add"),
                                S::Method<&Probe::Join>("Join"),
                                S::Method<&Probe::Scale>("Scale"),
                                S::Method<&Probe::Fail>("Fail"),
                                S::Method<&Probe::Throw>("Throw"),
                            });

// Another class, to call Probe's methods with the wrong `this`.
struct Bystander {};
Bystander* BystanderInstance() {
    static Bystander bystander;
    return &bystander;
}
using B = script::ScriptClass<Bystander>;
const B bystanderClass("Bystander", {B::Function<&BystanderInstance>("Instance")});

// Objects found by index in a store that can be released.
struct Slot {
    int32_t value = 0;
};
std::vector<Slot>& Slots() {
    static std::vector<Slot> slots;
    return slots;
}
Slot* SlotAt(uint32_t index) {
    return index < Slots().size() ? &Slots()[index] : nullptr;
}
script::IndexedRef<Slot> SlotRef(uint32_t index) {
    return {index};
}
uint32_t SlotIndex(script::IndexedRef<Slot> slot) {
    return slot.index;
}
script::ClassOptions<Slot> SlotOptions() {
    script::ClassOptions<Slot> options;
    options.lookup = &SlotAt;
    options.goneText = "its store was released";
    return options;
}
using SL = script::ScriptClass<Slot>;
const SL slotClass("Slot",
                   {SL::Property<&Slot::value>("value"), SL::Function<&SlotRef>("At"),
                    SL::Function<&SlotIndex>("IndexOf")},
                   SlotOptions());

class Binding : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        TheProbe() = Probe();
        Eval("var p = Probe.Instance();");
    }
};

TEST_F(Binding, IntegersAndBooleansCrossBothWays) {
    // Unsigned values above 2147483647 are numbers, never negative.
    EXPECT_EQ(Eval("p.count = 4294967295; p.count"), "4294967295");
    EXPECT_EQ(TheProbe().count, 4294967295u);
    TheProbe().count = 2147483648u;
    EXPECT_EQ(Eval("p.count > 0 && p.count === 2147483648"), "true");
    TheProbe().small = 65535;
    EXPECT_EQ(Eval("p.small"), "65535");

    EXPECT_EQ(Eval("p.offset = -7.9; p.offset"), "-7"); // toward zero
    EXPECT_EQ(Eval("p.offset = -2147483648; p.offset"), "-2147483648");

    EXPECT_EQ(Eval("p.flag = 1; typeof p.flag + ' ' + p.flag"), "boolean true");
    EXPECT_EQ(Eval("p.flag = 0; p.flag"), "false");
}

TEST_F(Binding, FloatsNarrowAndNaNIsCanonical) {
    EXPECT_EQ(Eval("p.ratio = 0.1; p.ratio === Math.fround(0.1)"), "true");
    EXPECT_FLOAT_EQ(TheProbe().ratio, 0.1f);
    EXPECT_EQ(Eval("p.ratio = 3; p.ratio"), "3");

    // A NaN with a payload must not be taken for some other kind of value.
    uint32_t bits = 0x7fa00001u;
    std::memcpy(&TheProbe().ratio, &bits, sizeof bits);
    EXPECT_EQ(Eval("typeof p.ratio + ' ' + Number.isNaN(p.ratio)"), "number true");
    TheProbe().v3 = glm::vec3(TheProbe().ratio);
    EXPECT_EQ(Eval("p.v3.every(Number.isNaN)"), "true");
}

TEST_F(Binding, StringsAreOneBytePerCharacter) {
    TheProbe().text = "caf\xe9";
    EXPECT_EQ(Eval("p.text.length + ' ' + p.text.charCodeAt(3)"), "4 233");
    Eval("p.text = 'a\\u0101b\\0z'"); // low byte of every character, NUL kept
    EXPECT_EQ(TheProbe().text, std::string("a\x01"
                                           "b\0z",
                                           5));
}

TEST_F(Binding, VectorsAreArraysAndShortArraysGiveNaN) {
    TheProbe().v3 = {1.0f, 2.5f, -3.0f};
    EXPECT_EQ(Eval("p.v3"), "1,2.5,-3");
    EXPECT_EQ(Eval("p.v3 !== p.v3"), "true"); // a new array on every read

    Eval("p.v2 = [5, 6]; p.v3 = [7, 8]; p.v4 = [1, 'x', 3, 4]");
    EXPECT_EQ(TheProbe().v2, glm::vec2(5.0f, 6.0f));
    EXPECT_EQ(TheProbe().v3.x, 7.0f);
    EXPECT_EQ(TheProbe().v3.y, 8.0f);
    EXPECT_TRUE(std::isnan(TheProbe().v3.z));
    EXPECT_TRUE(std::isnan(TheProbe().v4.y));
    EXPECT_EQ(TheProbe().v4.w, 4.0f);

    Eval("p.cell = [3.9, -2.7]");
    EXPECT_EQ(TheProbe().cell, glm::ivec2(3, -2));
    EXPECT_EQ(Eval("p.cell"), "3,-2");
}

TEST_F(Binding, QuaternionsAreXYZW) {
    EXPECT_EQ(Eval("p.rotation"), "0,0,0,1"); // identity
    Eval("p.rotation = [0.5, 0.25, -1, 2]");
    EXPECT_EQ(TheProbe().rotation.x, 0.5f);
    EXPECT_EQ(TheProbe().rotation.y, 0.25f);
    EXPECT_EQ(TheProbe().rotation.z, -1.0f);
    EXPECT_EQ(TheProbe().rotation.w, 2.0f);
}

TEST_F(Binding, MatricesAreArraysOfColumns) {
    EXPECT_EQ(Eval("JSON.stringify(p.m3)"), "[[1,0,0],[0,1,0],[0,0,1]]");
    TheProbe().m4[3] = glm::vec4(10.0f, 20.0f, 30.0f, 1.0f); // translation
    EXPECT_EQ(Eval("p.m4[3]"), "10,20,30,1");

    Eval("p.m2 = [[1, 2], [3, 4]]");
    EXPECT_EQ(TheProbe().m2[0][1], 2.0f); // column 0, row 1
    EXPECT_EQ(TheProbe().m2[1][0], 3.0f);
    Eval("p.m2 = [[1, 2]]"); // a missing column reads as NaN
    EXPECT_TRUE(std::isnan(TheProbe().m2[1][0]) && std::isnan(TheProbe().m2[1][1]));
}

TEST_F(Binding, EngineObjectsAreNewWrappersOrNull) {
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
}

TEST_F(Binding, AWrongArgumentCountDoesNothing) {
    EXPECT_EQ(Eval("p.Add(2, 3)"), "5");
    EXPECT_EQ(Eval("[p.Add(1), p.Add(1, 2, 3), p.Touch(1), Probe.Instance(5)].join()"), ",,,");
    EXPECT_EQ(TheProbe().touched, 0);
    EXPECT_EQ(Eval("p.Touch(); p.Add.length + ' ' + Probe.Instance.length"), "2 0");
    EXPECT_EQ(TheProbe().touched, 1);
}

TEST_F(Binding, AccessThroughTheClassObjectReportsMissingPrivateData) {
    EXPECT_EQ(ErrorOf("Probe.count"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_count.");
    EXPECT_EQ(ErrorOf("\nProbe.flag = true"),
              "test.js:1:Error, Private data could not be retrieved in JSSet_flag.");
    // Scripts can catch it like any exception.
    EXPECT_EQ(Eval("try { Probe.v3; 'no' } catch (e) { e.message }"),
              "Error, Private data could not be retrieved in JSGet_v3.");
    EXPECT_EQ(Eval("try { Object.getOwnPropertyDescriptor(Probe, 'text').get.call({}) } "
                   "catch (e) { e.message }"),
              "Error, Private data could not be retrieved in JSGet_text.");

    EXPECT_EQ(ErrorOf("Probe.Touch()"),
              "test.js:0:Error, Private data could not be retrieved in Probe.Touch: call it on "
              "a Probe object, not on the class object.");
    EXPECT_EQ(ErrorOf("p.Touch.call(Bystander.Instance())"),
              "test.js:0:Error, Private data could not be retrieved in Probe.Touch: 'this' is a "
              "Bystander object, not a Probe object.");
    EXPECT_EQ(ErrorOf("p.Add.call(5, 1, 2)"),
              "test.js:0:Error, Private data could not be retrieved in Probe.Add: 'this' is a "
              "number, not a Probe object.");
    EXPECT_EQ(TheProbe().touched, 0);
}

TEST_F(Binding, ValuesOfTheWrongKindAreScriptErrors) {
    EXPECT_EQ(ErrorOf("p.text = 5"),
              "test.js:0:Error in Probe.text: the value must be string, got a number.");
    EXPECT_EQ(ErrorOf("p.Join('a', {})"),
              "test.js:0:Error in Probe.Join: argument 2 must be string, got an object.");
    EXPECT_EQ(ErrorOf("p.v3 = 5"),
              "test.js:0:Error in Probe.v3: the value must be vec3 [x, y, z], got a number.");
    EXPECT_EQ(ErrorOf("p.m4 = 'm'"),
              "test.js:0:Error in Probe.m4: the value must be mat4 (array of 4 columns), got a "
              "string.");
    EXPECT_EQ(ErrorOf("p.partner = Bystander.Instance()"),
              "test.js:0:Error in Probe.partner: the value must be Probe, got a Bystander object.");
    EXPECT_EQ(ErrorOf("Probe.IsProbe(Probe)"),
              "test.js:0:Error in Probe.IsProbe: argument 1 must be Probe, got the Probe class "
              "object.");
    EXPECT_EQ(ErrorOf("p.partner = null"),
              "test.js:0:Error in Probe.partner: the value must be Probe, got null.");
    EXPECT_EQ(TheProbe().text, "");
    EXPECT_EQ(TheProbe().partner, nullptr);
    // Numbers convert from any value the language can make a number of.
    EXPECT_EQ(Eval("p.count = '12'; p.Scale([1, 2, 3], '2')"), "2,4,6");
    EXPECT_EQ(TheProbe().count, 12u);
}

TEST_F(Binding, AccessorsConstantsAndEnumerability) {
    EXPECT_EQ(Eval("p.doubled = 10; p.doubled"), "10");
    EXPECT_EQ(TheProbe().count, 5u);
    EXPECT_EQ(Eval("p.readOnlyDoubled = 99; p.readOnlyDoubled"), "10");

    EXPECT_EQ(Eval("Probe.SEVEN = 5; [Probe.SEVEN, p.SEVEN].join()"), "7,7");
    EXPECT_EQ(Eval("(function() { 'use strict'; Probe.SEVEN = 5; return Probe.SEVEN; })()"), "7");

    EXPECT_EQ(Eval("Object.keys(p).length + Object.keys(Probe).length"), "0");
    EXPECT_EQ(Eval("var d = Object.getOwnPropertyDescriptor(Probe, 'flag');"
                   "[typeof d.get, typeof d.set, d.enumerable].join()"),
              "function,function,false");
    EXPECT_EQ(Eval("Object.getPrototypeOf(p) === Probe && p instanceof Object"), "true");
}

TEST_F(Binding, EngineFailuresBecomeScriptErrors) {
    EXPECT_EQ(Eval("try { p.Fail(); 'no' } catch (e) { e.message }"), "Error, the probe refused.");
    EXPECT_EQ(ErrorOf("p.Throw()"), "test.js:0:Error in Probe.Throw: pool exhausted");
    EXPECT_EQ(Eval("'the context goes on'"), "the context goes on");
}

TEST_F(Binding, StoredCallbacksSurviveAFullCollection) {
    EXPECT_EQ(Eval("p.callback"), "null");
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
}

TEST_F(Binding, CallbacksAreStoredAsIsAndOnlyFunctionsAreCalled) {
    EXPECT_EQ(Eval("var f = function() {}; p.callback = f; p.callback === f"), "true");
    Eval("p.callback = 5");
    EXPECT_FALSE(TheProbe().callback.IsFunction());
    EXPECT_FALSE(TheProbe().callback.Call());
    EXPECT_EQ(Eval("p.callback"), "5");

    // A throwing callback is reported and cleared; the engine goes on.
    Eval("p.callback = function() { throw new Error('callback failed'); }");
    EXPECT_FALSE(TheProbe().callback.Call());
    EXPECT_EQ(host().GetLastError(), "test.js:0:callback failed");
    EXPECT_EQ(Eval("'still fine'"), "still fine");

    // A callback may replace itself while it runs.
    Eval("p.callback = function() { Probe.Instance().callback = null; globalThis.ran = 1; }");
    EXPECT_TRUE(TheProbe().callback.Call());
    EXPECT_TRUE(TheProbe().callback.IsNull());
    EXPECT_EQ(Eval("ran"), "1");
}

TEST_F(Binding, WrappersByIndexReportObjectsThatAreGone) {
    Slots().assign(3, Slot());
    EXPECT_EQ(Eval("var s = Slot.At(1); s.value = 42; s.value"), "42");
    EXPECT_EQ(Slots()[1].value, 42);

    Slots().clear();
    Slots().shrink_to_fit();
    EXPECT_EQ(ErrorOf("s.value"), "test.js:0:Error, Private data could not be retrieved in "
                                  "JSGet_value: the Slot at index 1 is gone (its store was "
                                  "released).");
    EXPECT_EQ(ErrorOf("Slot.At(7).value = 1"),
              "test.js:0:Error, Private data could not be retrieved in JSSet_value: the Slot at "
              "index 7 is gone (its store was released).");
    EXPECT_EQ(Eval("Slot.IndexOf(s)"), "1"); // naming it needs no object
    EXPECT_EQ(ErrorOf("Slot.value"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_value.");
}

TEST(ScriptApiReference, ListsEveryClassWithItsMembersFromTheTables) {
    const std::string reference = script::ApiReferenceMarkdown();
    const size_t bystander = reference.find("\n## Bystander\n");
    const size_t probe = reference.find("\n## Probe\n");
    ASSERT_NE(probe, std::string::npos);
    EXPECT_LT(bystander, probe); // sorted by name
    for (const char* row : {
             "| `count` | property | - | unsigned integer |",
             "| `v3` | property | - | vec3 [x, y, z] |",
             "| `partner` | property | - | Probe |",
             "| `SEVEN` | constant | - | = 7 |",
             "| `Instance` | function | 0 | () -> Probe |",
             "| `Add` | method | 2 | (integer, integer) -> integer |",
             "| `Touch` | method | 0 | () -> undefined |",
         })
        EXPECT_NE(reference.find(row), std::string::npos) << row;
}

} // namespace
