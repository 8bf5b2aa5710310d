#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include <SDL.h>
#include <gtest/gtest.h>
#include <js/GCAPI.h>

#include "core/Core.h"
#include "input/Gamepads.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "physics/CollisionContact.h"
#include "script/ScriptClass.h"
#include "script/ScriptErrors.h"
#include "script/ScriptTestSupport.h"
#include "script/ScriptTimers.h"
#include "script/ScriptWrapper.h"

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The registry as script data: the sweep walks exactly what the engine binds.
std::string ClassTable() {
    static const char* const kKinds[] = {"property", "constant", "method", "function"};
    std::ostringstream out;
    out << "var classes = [";
    for (const script::ScriptClassBase* cls : script::ScriptClassBase::All()) {
        out << "{name: " << Quoted(cls->Name())
            << ", constructible: " << (cls->IsConstructible() ? "true" : "false")
            << ", global: " << (cls->GlobalName() ? Quoted(cls->GlobalName()) : "null")
            << ", members: [";
        for (const script::Member& member : cls->Members())
            out << "{name: " << Quoted(member.name)
                << ", kind: " << Quoted(kKinds[static_cast<int>(member.kind)])
                << ", argCount: " << member.argCount << ", type: " << Quoted(member.describe())
                << "},";
        out << "]},";
    }
    return out.str() + "];\n";
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
        ASSERT_TRUE(
            host().RunFile(std::string(MARROWVALE_SOURCE_DIR) + "/tests/script/MisuseSweep.js"))
            << host().GetLastError();
        LendGamepad();
    }
    // A virtual pad plugged in for the whole sweep: pads, their buttons and their
    // events exist only while one is, and scripts may keep them for good. SDL
    // unplugs it when the engine ends.
    void LendGamepad() {
        SDL_VirtualJoystickDesc desc{};
        desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
        desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
        desc.naxes = SDL_CONTROLLER_AXIS_MAX;
        desc.nbuttons = SDL_CONTROLLER_BUTTON_MAX;
        desc.name = "Sweep pad";
        ASSERT_GE(SDL_JoystickAttachVirtualEx(&desc), 0) << SDL_GetError();
        ASSERT_EQ(Eval("addEventListener('gamepadconnected', e => { globalThis.keptGamepadEvent = "
                       "e; globalThis.keptGamepad = e.gamepad; globalThis.keptGamepadButton = "
                       "e.gamepad.buttons[7]; })"),
                  "undefined");
        core.RunFrame();
        ASSERT_EQ(Eval("typeof keptGamepadEvent"), "object");
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
        Gamepads::Instance().Shutdown();
        host().Shutdown();
    }

    // Runs one step of the sweep; a step that does not complete names the
    // call it was in.
    std::string Step(const std::string& call) {
        std::string result;
        EXPECT_TRUE(host().Evaluate(call, "sweep-step.js", &result))
            << call << ": " << host().GetLastError() << " during " << Eval("sweep.last");
        return result;
    }

    // Lends the script a message as the engine lends one to a listener:
    // global `name` is a wrapper that EndLending empties.
    template <class T> void Lend(T* message, const char* name) {
        JSContext* cx = host().GetContext();
        JS::RootedObject global(cx, host().GetGlobal());
        JS::RootedObject wrapper(cx, NewScriptWrapper(message));
        ASSERT_TRUE(wrapper && JS_DefineProperty(cx, global, name, wrapper, JSPROP_ENUMERATE));
        lent.emplace_back(message, name);
    }
    // A contact exists only while a collision function runs.
    void LendContact() {
        JSContext* cx = host().GetContext();
        JS::RootedObject global(cx, host().GetGlobal());
        JS::RootedObject wrapper(cx, NewScriptWrapper(&contact));
        ASSERT_TRUE(wrapper && JS_DefineProperty(cx, global, "lentCollisionContact", wrapper,
                                                 JSPROP_ENUMERATE));
    }
    void EndLending() {
        JSContext* cx = host().GetContext();
        JS::RootedObject global(cx, host().GetGlobal());
        JS::RootedValue contactWrapper(cx);
        ASSERT_TRUE(JS_GetProperty(cx, global, "lentCollisionContact", &contactWrapper));
        script::ScriptClassBase::Detach(&contactWrapper.toObject());
        for (const auto& [message, name] : lent) {
            JS::RootedValue wrapper(cx);
            ASSERT_TRUE(JS_GetProperty(cx, global, name.c_str(), &wrapper));
            script::ScriptClassBase::Detach(&wrapper.toObject());
        }
    }

    // A few frames deliver what the step broadcast and let every system
    // meet what the step left behind; a full collection then gives back the
    // messages the dropped wrappers owned, so the sweep never holds more than
    // one class's worth.
    void Frames() {
        for (int i = 0; i < 2; ++i)
            core.RunFrame();
        JS_GC(host().GetContext());
    }

    TempFolder folder;
    // What the sweep stores in localStorage stays in the test's folder.
    const SaveFolderScope saves{folder.path / "save"};
    Core& core = Core::Instance();
    std::vector<std::pair<MessagePointer, std::string>> lent;
    CollisionContact contact;
};

TEST_F(MisuseSweep, EveryMemberOfEveryClassFailsOnlyWithScriptErrors) {
    // Key and text messages come only from the engine, lent to listeners.
    Lend(CreateMessage<KeyboardMessage>(0u, 97u, false, true, false), "lentKeyboardMessage");
    Lend(CreateMessage<TextEnteredMessage>(0x12eu), "lentTextEnteredMessage");
    LendContact();

    // Every class with instance members meets live objects, not just the
    // class object.
    std::vector<std::string> unreached;
    for (const script::ScriptClassBase* cls : script::ScriptClassBase::All()) {
        const bool hasInstanceMembers =
            std::any_of(cls->Members().begin(), cls->Members().end(), [](const auto& m) {
                return m.kind == script::MemberKind::Property ||
                       m.kind == script::MemberKind::Method;
            });
        if (Step("SweepClass(" + Quoted(cls->Name()) + ")") == "0" && hasInstanceMembers)
            unreached.push_back(cls->Name());
        Frames();
    }
    Step("SweepGlobals()");
    Frames();
    const auto put = [&](const char* name, const char* text) {
        std::ofstream(folder.path / name) << text;
    };
    put("self.mjs", "import * as me from './self.mjs';\nexport const x = me;\n");
    put("broken.mjs", "export const = 1;\n");
    put("throws.mjs", "throw new Error('module body');\n");
    put("cycle-a.mjs", "import './cycle-b.mjs';\nexport const a = 1;\n");
    put("cycle-b.mjs", "import { a } from './cycle-a.mjs';\nexport const b = a;\n");
    std::filesystem::create_directories(folder.path / "dir.mjs");
    ASSERT_EQ(::mkfifo((folder.path / "fifo.mjs").c_str(), 0600), 0);
    Step("var modules = SweepModules(" + Quoted(folder.path.string()) + ")");
    Frames();
    EXPECT_EQ(Eval("modules.settled + ' of ' + modules.total"),
              Eval("modules.total + ' of ' + modules.total"))
        << "every import() settles";
    Step("SweepStaleComponents()");
    Step("SweepBroadcastMessages()");
    Frames();
    EndLending();
    Step("SweepLentMessages()");
    // Wrappers kept across the end of their object must not reach the object that
    // takes its id next.
    Step("SweepWrappersOfGoneObjects()");
    Frames();

    EXPECT_EQ(unreached, std::vector<std::string>());
    EXPECT_GT(std::stoi(Eval("sweep.calls")), 10000);
    EXPECT_GT(std::stoi(Eval("sweep.errors")), 1000);
    EXPECT_EQ(Eval("sweep.bad.concat(sweep.stale).join('\\n')"), "");
    std::cout << Eval("sweep.calls + ' calls, ' + sweep.errors + ' script errors'") << "\n";
}

// A script aims every engine write out of the game's folders: by an absolute
// path, by "..", and through links planted in the save folder. Each is a script
// error naming the path and the folders, and nothing lands outside.
TEST_F(MisuseSweep, WritesLeaveNeitherTheGameNorTheSaveFolder) {
    namespace fs = std::filesystem;
    const fs::path save = folder.path / "save", outside = folder.path / "outside";
    fs::create_directories(save);
    fs::create_directories(outside);
    const SaveFolderScope saves(save);
    fs::create_directory_symlink(outside, save / "Models");
    fs::create_symlink(outside / "shot.jpg", save / "screenshot.jpg");
    Step("var m = new VoxelModel(); m.AddVoxel([0, 0, 0], [1, 0, 0, 1]);"
         "function Refused(call) { try { call(); return 'written'; }"
         " catch (e) { return e.message; } }");

    for (const std::string& call : {"m.SaveToFile('" + (outside / "abs.vxm").string() + "')",
                                    std::string("m.SaveToFile('../resource/../x.vxm')"),
                                    std::string("m.ExportMesh('../resource/../../x.glb')"),
                                    std::string("m.SaveToFile('../resource/Models/link.vxm')"),
                                    std::string("m.ExportMesh('../resource/Models/link.obj')"),
                                    std::string("Scene.Save('../resource/Models/link.json')")}) {
        const std::string said = Step("Refused(() => " + call + ")");
        EXPECT_NE(said.find("outside the folders a game may write in"), std::string::npos) << said;
        EXPECT_NE(said.find(fs::canonical(save).string() + "/"), std::string::npos) << said;
        EXPECT_NE(said.find(call.substr(call.find('\'') + 1, 12)), std::string::npos) << said;
    }
    Step("core.WindowSystem_.Screenshot()");
    Frames();
    EXPECT_TRUE(fs::is_empty(outside)) << "nothing written through a path or a link";
    EXPECT_FALSE(fs::exists(folder.path / "x.vxm"));

    // Inside, everything is written as before.
    fs::remove(save / "Models");
    EXPECT_EQ(Step("m.SaveToFile('../resource/Models/in.vxm');"
                   "m.ExportMesh('../resource/Models/in.glb')"),
              "true");
    EXPECT_TRUE(fs::exists(save / "Models/in.vxm"));
    EXPECT_TRUE(fs::exists(save / "Models/in.glb"));
}

} // namespace

// Growth: a game that piles up timers or listeners meets a cap with a clear
// error, and what stays keeps its order however much waits beside it.
TEST_F(MisuseSweep, TimersAndListenersGrowOnlyToTheirCapAndKeepTheirOrder) {
    ScriptTimers& timers = host().GetTimers();
    timers.Clear();
    EXPECT_EQ(Step(R"(
        var fired = [], ids = [], refused = '', ivs = 0;
        setTimeout(() => fired.push('b'), 20);
        setTimeout(() => fired.push('a'), 10);
        setTimeout(() => fired.push('b2'), 20);
        clearTimeout(setTimeout(() => fired.push('cleared'), 20));
        var iv = setInterval(() => { fired.push('iv'); if (++ivs == 2) clearInterval(iv); }, 10);
        requestAnimationFrame(() => { fired.push('raf'); requestAnimationFrame(() => fired.push('raf2')); });
        for (let i = 0; i < 100010 && !refused; ++i)
            try { ids.push(setTimeout(() => fired.push('far'), 1e9)); } catch (e) { refused = e.message; }
        try { requestAnimationFrame(() => 0); } catch (e) { refused += ' | ' + e.message; }
        ids.length)"),
              "99995");
    EXPECT_EQ(timers.GetCount(), ScriptTimers::kMaxPending);
    EXPECT_EQ(Eval("refused").find("setTimeout: 100000 timers are already pending"), 0u);
    EXPECT_NE(Eval("refused").find("| requestAnimationFrame: 100000 timers"), std::string::npos);
    for (int frame = 0; frame < 3; ++frame)
        timers.Update(0.0105); // a little over: the clock did not start at 0
    EXPECT_EQ(Eval("fired.join()"), "a,iv,raf,b,b2,iv,raf2");
    // Intervals that meet the cap every frame say so once, with a count.
    Step("for (let i = 0; i < 5; ++i) ids.push(setInterval(() => setTimeout(() => 0), 1))");
    std::vector<std::string> reports;
    host().AddOutputListener(this, [&](const std::string& line) { reports.push_back(line); });
    timers.Update(0.0105);
    host().RemoveOutputListener(this);
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_NE(reports[0].find("setTimeout: 100000 timers"), std::string::npos);
    EXPECT_NE(reports[1].find("the error above came 4 more times this frame"), std::string::npos);
    Step("ids.forEach(clearTimeout)");
    EXPECT_EQ(timers.GetCount(), 0u);

    // Listeners: each function once, removals anywhere, a return goes last.
    Step(R"(var heard = [], many = [];
        for (let i = 0; i < 1000; ++i) many.push(() => heard.push(i));
        for (const f of many.concat(many)) addEventListener('gamepadconnected', f);
        many.forEach((f, i) => { if (i % 2) removeEventListener('gamepadconnected', f); });
        addEventListener('gamepadconnected', many[1]);)");
    EXPECT_EQ(Gamepads::Instance().GetListenerCount(), 502u); // with the sweep's own
    LendGamepad();
    EXPECT_EQ(Eval("[heard.length, heard[0], heard[499], heard[500]].join()"), "501,0,998,1");
}

// Error places: a report says where, however often it comes, and out of
// memory says what to raise, once a frame.
TEST_F(MisuseSweep, ErrorsNameTheirPlaceEveryTimeAndOutOfMemoryOnceAFrame) {
    std::vector<std::string> reports;
    host().AddOutputListener(this, [&](const std::string& line) { reports.push_back(line); });
    ScriptTimers& timers = host().GetTimers();
    const auto startingWith = [&](const std::string& start) {
        return std::count_if(reports.begin(), reports.end(),
                             [&](const std::string& line) { return line.rfind(start, 0) == 0; });
    };
    const std::string spin =
        folder.Write("spin.js", "var spins = 0;\nfunction spin() {\n"
                                "    if (++spins < 60) requestAnimationFrame(spin);\n"
                                "    throw 'spun ' + spins;\n}\n"
                                "requestAnimationFrame(spin);\n");
    ASSERT_TRUE(host().RunFile(spin));
    for (int frame = 0; frame < 60; ++frame)
        timers.Update(0.016);
    EXPECT_EQ(startingWith(spin + ":4:"), 60);

    reports.clear();
    JSContext* cx = host().GetContext();
    JS_GC(cx);
    host().SetHeapLimitBytes(JS_GetGCParameter(cx, JSGC_BYTES) + (size_t(16) << 20));
    const std::string hog =
        folder.Write("hog.js", "function hog() {\n    const kept = [];\n"
                               "    for (;;) kept.push({ n: kept.length });\n}\n"
                               "for (let i = 0; i < 3; ++i) setTimeout(hog);\n");
    ASSERT_TRUE(host().RunFile(hog));
    timers.Update(0.016);
    JS_GC(cx); // what the hogs kept, as the next frames would collect it
    script::StartFrame();
    Step("setTimeout(hog)");
    timers.Update(0.016);
    host().SetHeapLimitBytes(ScriptHost::kDefaultHeapLimitBytes);
    host().RemoveOutputListener(this);
    EXPECT_EQ(startingWith(hog + ": out of memory"), 2) << ::testing::PrintToString(reports);
    EXPECT_EQ(reports.size(), 2u) << ::testing::PrintToString(reports);
    EXPECT_NE(host().GetLastError().find("--script-heap-mb"), std::string::npos);
}
