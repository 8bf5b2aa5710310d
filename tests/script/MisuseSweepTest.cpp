#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "core/Core.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"
#include "script/ScriptWrapper.h"

namespace {

// Members the sweep leaves alone, each with the reason. Everything else in
// the binding tables is driven.
const std::map<std::string, std::string> kSkipped = {};

// Classes whose objects no script can come by; their members meet only the
// class object and objects of other classes (the wrong `this`).
const std::map<std::string, std::string> kUnreached = {};

const char* KindName(script::MemberKind kind) {
    switch (kind) {
    case script::MemberKind::Property:
        return "property";
    case script::MemberKind::Constant:
        return "constant";
    case script::MemberKind::Method:
        return "method";
    case script::MemberKind::Function:
        return "function";
    }
    return "";
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// "(vec3 [x, y, z], integer) -> undefined" to {"vec3 [x, y, z]", "integer"}.
std::vector<std::string> ParameterTypes(const std::string& signature) {
    std::vector<std::string> types;
    const std::size_t close = signature.find(") -> ");
    if (signature.empty() || signature[0] != '(' || close == std::string::npos)
        return types;
    std::string current;
    int depth = 0;
    for (std::size_t i = 1; i < close; ++i) {
        const char c = signature[i];
        depth += (c == '[' || c == '(') - (c == ']' || c == ')');
        if (c == ',' && depth == 0) {
            types.push_back(current);
            current.clear();
            if (i + 1 < close && signature[i + 1] == ' ')
                ++i;
        } else {
            current += c;
        }
    }
    if (!current.empty())
        types.push_back(current);
    return types;
}

// The registry as script data: the sweep walks exactly what the engine binds.
std::string ClassTable() {
    std::ostringstream out;
    out << "var classes = [";
    for (const script::ScriptClassBase* cls : script::ScriptClassBase::All()) {
        out << "{name: " << Quoted(cls->Name()) << ", members: [";
        for (const script::Member& member : cls->Members()) {
            const std::string described = member.describe();
            out << "{name: " << Quoted(member.name) << ", kind: " << Quoted(KindName(member.kind))
                << ", argCount: " << member.argCount << ", type: " << Quoted(described)
                << ", params: [";
            for (const std::string& type : ParameterTypes(described))
                out << Quoted(type) << ",";
            out << "]},";
        }
        out << "]},";
    }
    out << "];\nvar skipped = {";
    for (const auto& [name, reason] : kSkipped)
        out << Quoted(name) << ": " << Quoted(reason) << ",";
    out << "};\n";
    return out.str();
}

std::string ReadSource(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The whole engine started on the sample game, in a folder of its own so
// that screenshots and saved files land there.
class MisuseSweep : public ::testing::Test, protected ScriptRunner {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "the sweep drives the window; run under xvfb-run";
        ASSERT_EQ(::chdir(folder.path.c_str()), 0);
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
        ::testing::internal::CaptureStdout(); // shader and video-mode listings
        core.Init();
        ::testing::internal::GetCapturedStdout();
        ASSERT_TRUE(host().Evaluate(ClassTable(), "classes.js"));
        const std::string harness =
            std::string(MARROWVALE_SOURCE_DIR) + "/tests/script/MisuseSweep.js";
        ASSERT_TRUE(host().Evaluate(ReadSource(harness), harness)) << host().GetLastError();
    }
    // Ends the engine as the executable does, so that whatever the sweep left
    // behind (delayed messages, objects scripts still hold) must be freed.
    void TearDown() override {
        std::filesystem::current_path(MARROWVALE_BINARY_DIR);
        if (IsSkipped())
            return;
        lent.clear();
        delete core.objectManager;
        core.objectManager = nullptr;
        delete core.messageManager;
        core.messageManager = nullptr;
        host().Shutdown();
    }

    // Runs one step of the sweep; a step that does not complete names the
    // call it was in.
    void Step(const std::string& call) {
        std::string result;
        ASSERT_TRUE(host().Evaluate(call, "sweep-step.js", &result))
            << call << ": " << host().GetLastError() << " during " << Eval("sweep.last");
    }

    // Lends the script a message as the engine lends one to a listener:
    // global `name` is a wrapper that is emptied after the sweep.
    template <class T> void Lend(T* message, const char* name) {
        JSContext* cx = host().GetContext();
        JS::RootedObject global(cx, host().GetGlobal());
        JS::RootedObject wrapper(cx, NewScriptWrapper(message));
        ASSERT_TRUE(wrapper && JS_DefineProperty(cx, global, name, wrapper, JSPROP_ENUMERATE));
        lent.emplace_back(message, name);
    }
    void EndLending() {
        JSContext* cx = host().GetContext();
        JS::RootedObject global(cx, host().GetGlobal());
        for (const auto& [message, name] : lent) {
            JS::RootedValue wrapper(cx);
            ASSERT_TRUE(JS_GetProperty(cx, global, name.c_str(), &wrapper));
            script::ScriptClassBase::Detach(&wrapper.toObject());
        }
    }

    // A few frames deliver what the step broadcast and let every system
    // meet what the step left behind.
    // A full collection then gives back the messages the dropped wrappers
    // owned, so the sweep never holds more than one class's worth.
    void Frames(int count = 2) {
        for (int i = 0; i < count; ++i)
            core.RunFrame();
        JS_GC(host().GetContext());
    }

    std::vector<std::string> List(const std::string& expression) {
        std::vector<std::string> items;
        std::stringstream text(Eval(expression + ".join('\\n')"));
        for (std::string line; std::getline(text, line);)
            if (!line.empty())
                items.push_back(line);
        return items;
    }

    TempFolder folder;
    Core& core = Core::Instance();
    std::vector<std::pair<MessagePointer, std::string>> lent;
};

TEST_F(MisuseSweep, EveryMemberOfEveryClassFailsOnlyWithScriptErrors) {
    for (const auto& [name, reason] : kSkipped)
        std::cout << "skipped " << name << ": " << reason << "\n";
    for (const auto& [name, reason] : kUnreached)
        std::cout << "no live " << name << ": " << reason << "\n";

    // Key and text messages come only from the engine, lent to listeners.
    Lend(CreateMessage<KeyboardMessage>(0u, 97u, false, true, false), "lentKeyboardMessage");
    Lend(CreateMessage<TextEnteredMessage>(0x12eu), "lentTextEnteredMessage");

    std::vector<std::string> unreached;
    for (const script::ScriptClassBase* cls : script::ScriptClassBase::All()) {
        SCOPED_TRACE(cls->Name());
        std::string subjects;
        ASSERT_TRUE(
            host().Evaluate("SweepClass(" + Quoted(cls->Name()) + ")", "sweep-step.js", &subjects))
            << host().GetLastError() << " during " << Eval("sweep.last");
        const bool hasInstanceMembers =
            std::any_of(cls->Members().begin(), cls->Members().end(), [](const auto& m) {
                return m.kind == script::MemberKind::Property ||
                       m.kind == script::MemberKind::Method;
            });
        if (subjects == "0" && hasInstanceMembers)
            unreached.push_back(cls->Name());
        Frames();
    }
    Step("SweepGlobals()");
    Frames();
    Step("SweepStaleComponents()");
    Step("SweepBroadcastMessages()");
    Frames();
    EndLending();
    Step("SweepLentMessages()");

    // Every other class's members met live objects, not just the class object.
    std::vector<std::string> expectedUnreached;
    for (const auto& [name, reason] : kUnreached)
        expectedUnreached.push_back(name);
    std::sort(unreached.begin(), unreached.end());
    EXPECT_EQ(unreached, expectedUnreached);
    EXPECT_GT(std::stoi(Eval("sweep.calls")), 10000);
    EXPECT_GT(std::stoi(Eval("sweep.errors")), 1000);
    EXPECT_EQ(List("sweep.bad"), std::vector<std::string>());
    EXPECT_EQ(List("sweep.stale"), std::vector<std::string>());
    std::cout << Eval("sweep.calls + ' calls, ' + sweep.errors + ' script errors'") << "\n";
}

// Wrappers kept across the end of their object must not reach the object that
// takes its id next.
TEST_F(MisuseSweep, WrappersOfGoneObjectsDoNotReachTheirSuccessors) {
    Step("SweepWrappersOfGoneObjects()");
    Frames();
    EXPECT_EQ(List("sweep.bad"), std::vector<std::string>());
    EXPECT_EQ(List("sweep.stale"), std::vector<std::string>());
}

} // namespace
