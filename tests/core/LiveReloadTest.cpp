// --watch in the running engine: a game of the test's own, whose postInit.js
// and modules the test rewrites, seen through the frames the engine draws.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "core/LiveReload.h"
#include "core/ProcessTestSupport.h"
#include "graphics/GraphicsSystem.h"
#include "input/Gamepads.h"
#include "logic/GameLogicSystem.h"
#include "logic/ScriptGameState.h"
#include "objects/ObjectManager.h"
#include "script/LocalStorage.h"
#include "script/ModuleLoader.h"
#include "script/ScriptHost.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "window/WindowSystem.h"

namespace {

namespace fs = std::filesystem;

// A game of the test's own, started as the engine does at launch (its start-up
// lines unprinted) and watched for changes from then on.
class LiveReloadGame : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "start-up opens the window; run under xvfb-run";
    }
    void Start() {
        core.SetResourceDir(game.string());
        testing::internal::CaptureStdout();
        core.Init();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(core.running);
        reload.emplace(core, game / "Scripts");
    }
    // Runs frames and looks for changes, as --watch does, until `done` or five seconds.
    template <class Done> bool FramesUntil(Done done) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < end && !done()) {
            core.RunFrame();
            reload->Update();
        }
        return done();
    }

    Core& core = Core::Instance();
    ScriptHost& host = ScriptHost::Instance();
    TempFolder folder;
    const fs::path& game = folder.path;
    std::optional<LiveReload> reload;
};

// The scene's centre pixel, where the second scene puts a large badge.
sf::Color Centre(Core& core) {
    const sf::Image frame = core.WindowSystem_->CaptureFrame();
    return frame.getPixel(frame.getSize().x / 2, frame.getSize().y / 2);
}

TEST_F(LiveReloadGame, AChangedScriptRebuildsTheSceneAndOneThatDoesNotCompileKeepsIt) {
    for (const char* folder : {"Models", "Textures"})
        fs::copy(fs::path(MARROWVALE_SOURCE_DIR) / "resource" / folder, game / folder,
                 fs::copy_options::recursive);
    const auto write = [&](const std::string& source) { folder.Write("postInit.js", source); };
    folder.Write("startup.js",
                 "var core = Core.Instance();\n"
                 "function MakeObject(names) {\n"
                 "    var obj = core.objectManager.NewObject();\n"
                 "    names.forEach(function (n) { ObjectManager['Add' + n](obj); });\n"
                 "    ObjectManager.InitializeObj(obj);\n"
                 "    return obj;\n"
                 "}\n");
    write("var scene = 'first';\n");
    Start();
    std::string scene;
    const auto sceneIs = [&](const char* name) {
        return host.Evaluate("scene", "test.js", &scene) && scene == name;
    };
    core.RunFrame();
    const sf::Color empty = Centre(core);

    const std::string second =
        "var scene = 'second';\n"
        "var badge = MakeObject(['TransformComponent', 'SpriteComponent']);\n"
        "var sprite = ObjectManager.SpriteComponent(badge);\n"
        "sprite.texture = core.GraphicsSystem_.GetTexture('../resource/Textures/gem.png');\n"
        "sprite.scale = [4, 4];\n"
        "sprite.alpha = 1;\n"
        "var house = MakeObject(['TransformComponent', 'VoxelModelComponent']);\n"
        "ObjectManager.VoxelModelComponent(house).model =\n"
        "    core.GraphicsSystem_.GetModel('../resource/Models/house.vxm');\n"
        "localStorage.setItem('runs', (localStorage.getItem('runs') || '') + 's');\n";
    write(second);
    ASSERT_TRUE(FramesUntil([&] { return sceneIs("second"); })) << scene;
    core.RunFrame();
    const sf::Color badge = Centre(core);
    EXPECT_NE(badge, empty) << "the new scene's badge is drawn";
    const auto objects = core.objectManager->numGameObjects;

    // A script that does not compile leaves the scene as it was.
    write(second + "function (\n");
    const std::string brokenAt =
        "postInit.js:" + std::to_string(std::count(second.begin(), second.end(), '\n') + 1) +
        ":10: SyntaxError";
    ASSERT_TRUE(FramesUntil([&] { return reload->GetRefusedCount() == 1u; }));
    EXPECT_NE(host.GetLastError().find(brokenAt), std::string::npos) << host.GetLastError();
    EXPECT_TRUE(sceneIs("second"));
    EXPECT_EQ(core.objectManager->numGameObjects, objects);
    EXPECT_EQ(Centre(core), badge);

    // Fixed again: the scene is built anew, not on top of the old one.
    write(second + "scene = 'fixed';\n");
    ASSERT_TRUE(FramesUntil([&] { return sceneIs("fixed"); })) << scene;
    EXPECT_EQ(reload->GetReloadCount(), 2u);
    EXPECT_EQ(core.objectManager->numGameObjects, objects);
    // The player's store is no script state: a reload keeps it, and it reaches the disk.
    std::string runs;
    EXPECT_TRUE(host.Evaluate("localStorage.getItem('runs')", "test.js", &runs) && runs == "ss")
        << runs;
    core.RunFrame();
    LocalStorage::Instance().Flush(); // the frame left the writing to the disk's own thread
    EXPECT_TRUE(LocalStorage(game / "localStorage.json").GetItem(u"runs") == u"ss");

    // A model file in use changes: the model everything shows is read again in place.
    VoxelModel& house = core.GraphicsSystem_->modelCache.at("../resource/Models/house.vxm");
    ASSERT_GT(house.voxels.size(), 1u);
    VoxelModel single;
    single.voxels.resize(1);
    ASSERT_TRUE(single.SaveToFile((game / "Models" / "house.vxm").string()));
    ASSERT_TRUE(FramesUntil([&] { return house.voxels.size() == 1; }));
    EXPECT_EQ(reload->GetModelReloadCount(), 1u);
    EXPECT_EQ(reload->GetReloadCount(), 2u) << "a model is no script";

    // A game of modules: a change to a module the entry imports, TypeScript here, runs the
    // graph anew, in a registry that holds nothing of the graph before.
    const auto look = [&](const char* texture) {
        folder.Write("look.ts",
                     std::string("export const texture: string = '../resource/Textures/") +
                         texture + "';\n");
    };
    look("gem.png");
    write("// The game starts in main.mjs.\n");
    folder.Write("main.mjs", "import { texture } from './look.ts';\n"
                             "globalThis.scene = texture;\n");
    ASSERT_TRUE(FramesUntil([&] { return sceneIs("../resource/Textures/gem.png"); })) << scene;
    look("glow.png");
    ASSERT_TRUE(FramesUntil([&] { return sceneIs("../resource/Textures/glow.png"); })) << scene;
    EXPECT_EQ(reload->GetReloadCount(), 4u);
    EXPECT_EQ(host.GetModules()->GetModuleCount(), 2u) << "main and look";

    // Saved the way editors save, with a swap file and a backup beside the script: each
    // save reloads once, when the files hold still. The test's own clock drives the looks.
    LiveReload saves(core, game / "Scripts");
    auto clock = LiveReload::Clock::now();
    const auto poll = [&](int times) {
        for (int i = 0; i < times; ++i) {
            core.RunFrame();
            saves.Update(clock += LiveReload::kPollInterval);
        }
    };
    const fs::path entry = game / "Scripts" / "main.mjs";
    std::string source;
    std::getline(std::ifstream(entry), source, '\0');
    testing::internal::CaptureStderr();
    std::ofstream(entry, std::ios::trunc).close(); // emptied, seen empty, then written
    folder.Write(".main.mjs.swp", "swap");
    poll(1);
    folder.Write("main.mjs", source + "globalThis.saves = 1;\n");
    poll(5);
    EXPECT_EQ(saves.GetReloadCount(), 1u);
    EXPECT_TRUE(host.Evaluate("globalThis.saves", "test.js", &scene) && scene == "1") << scene;
    folder.Write("main.mjs~", source); // written beside it and renamed over it
    folder.Write("main.mjs.tmp", source + "globalThis.saves = 2;\n");
    poll(1);
    fs::rename(game / "Scripts" / "main.mjs.tmp", entry);
    fs::remove(game / "Scripts" / "main.mjs~");
    poll(5);
    EXPECT_EQ(saves.GetReloadCount(), 2u);
    folder.Write("main.mjs", source + "globalThis.saves = 2;\n"); // the same text, and a new mode
    fs::permissions(entry, fs::perms::owner_exec, fs::perm_options::add);
    poll(5);
    EXPECT_EQ(saves.GetReloadCount(), 2u);
    // A module from outside Scripts/ loaded for the first time is watched from then on,
    // and finding it is no second change.
    fs::create_directories(game / "Shared");
    std::ofstream(game / "Shared" / "tune.mjs") << "export const tune = 3;\n";
    folder.Write("main.mjs", "import { tune } from '../Shared/tune.mjs';\n" + source +
                                 "globalThis.saves = tune;\n");
    poll(8);
    EXPECT_EQ(saves.GetReloadCount(), 3u);
    std::ofstream(game / "Shared" / "tune.mjs", std::ios::trunc) << "export const tune = 4;\n";
    poll(5);
    EXPECT_EQ(saves.GetReloadCount(), 4u);
    EXPECT_TRUE(host.Evaluate("globalThis.saves", "test.js", &scene) && scene == "4") << scene;
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Live reload: the scripts changed; running postInit.js and main.mjs "
                        "again."),
              std::string::npos)
        << said;
    fs::remove(game / "Scripts" / "postInit.js");
    EXPECT_EQ(saves.DescribeRerun(), "main.mjs");
}

// The sample game runs its village as a script game state and its tools as
// engine states: a reload while the model editor runs brings the village back.
TEST_F(LiveReloadGame, TheSampleGameReloadedInTheModelEditorComesBackToItsVillage) {
    fs::copy(fs::path(MARROWVALE_SOURCE_DIR) / "resource", game, fs::copy_options::recursive);
    Start();
    for (int i = 0; i < 3; ++i)
        core.RunFrame();
    EXPECT_TRUE(MeadowShows(core.WindowSystem_->CaptureFrame()));
    ASSERT_TRUE(host.Evaluate(
        "Core.Instance().GameLogicSystem_.SetCurrentGameState(ModelEditor.Instance())", "test.js"));
    for (int i = 0; i < 3; ++i)
        core.RunFrame();
    GameState* editor = core.GameLogicSystem_->GetCurrentGameState();
    ASSERT_NE(editor, &ScriptGameState::Instance());
    EXPECT_FALSE(MeadowShows(core.WindowSystem_->CaptureFrame()))
        << "the editor shows its own scene";

    std::ofstream(game / "Scripts" / "sampleVillage.mjs", std::ios::app) << "// saved again\n";
    ASSERT_TRUE(FramesUntil([&] { return reload->GetReloadCount() == 1u; }));
    for (int i = 0; i < 3; ++i)
        core.RunFrame();
    EXPECT_EQ(core.GameLogicSystem_->GetCurrentGameState(), &ScriptGameState::Instance());
    EXPECT_TRUE(MeadowShows(core.WindowSystem_->CaptureFrame())) << "the village is built again";
}

// A script leaves a function with every kind of holder; once the scripts are
// replaced none of them is called again (the gamepad listener and the panel
// button, which wait for a pad or a press, are seen to be gone), and the
// engine's own panels stay. The state that ran is cleaned up once, by its old scripts.
TEST_F(LiveReloadGame, NoFunctionOfTheReplacedScriptsIsCalledAgain) {
    folder.Write(
        "main.mjs",
        "import { Core, ObjectManager, RegisterAntBarMessage, ScriptGameState, Shape } from "
        "'marrowvale';\n"
        "const core = Core.Instance(), calls = (globalThis.calls = {});\n"
        "const count = (name) => () => { calls[name] = (calls[name] | 0) + 1; };\n"
        "core.GameLogicSystem_.updateFunction = count('update');\n"
        "const state = ScriptGameState.Instance();\n"
        "state.initializeFunction = count('stateInitialize');\n"
        "state.updateFunction = count('stateUpdate');\n"
        "state.cleanupFunction = count('cleanup');\n"
        "core.GameLogicSystem_.SetCurrentGameState(state);\n"
        "globalThis.own = new ScriptGameState();\n"
        "own.initializeFunction = own.updateFunction = count('ownState');\n"
        "setInterval(count('interval'), 0);\n"
        "const timeout = count('timeout'), frame = count('frame');\n"
        "(function again() { timeout(); setTimeout(again, 0); })();\n"
        "(function next() { frame(); requestAnimationFrame(next); })();\n"
        "addEventListener('gamepadconnected', count('gamepad'));\n"
        "Core.BroadcastMessage(RegisterAntBarMessage.Create('old', 200, 100, 0, 0));\n"
        "core.AntBarSystem_.AddButton('old', 'Go', count('button'));\n"
        "const obj = core.objectManager.NewObject();\n"
        "ObjectManager.AddScriptUpdateComponent(obj).updateFunction = count('component');\n"
        "ObjectManager.InitializeObj(obj);\n"
        "for (const [y, mass] of [[0, 0], [0.9, 1]]) {\n"
        "  const box = core.objectManager.NewObject();\n"
        "  ObjectManager.AddTransformComponent(box).position = [0, y, 0];\n"
        "  const body = ObjectManager.AddBodyComponent(box);\n"
        "  Object.assign(body, { initialMass: mass, collisionType: 1, collidesWith: 7 });\n"
        "  body.shape = Shape.BoxShape([0.5, 0.5, 0.5]);\n"
        "  body.onCollisionEnterFunction = count('collision');\n"
        "  ObjectManager.InitializeObj(box);\n"
        "}\n");
    Start();
    std::string calls, later;
    for (int i = 0; i < 3; ++i)
        core.RunFrame();
    ASSERT_TRUE(host.Evaluate("Object.keys(calls).sort().join()", "test.js", &calls));
    EXPECT_EQ(calls,
              "collision,component,frame,interval,stateInitialize,stateUpdate,timeout,update");
    EXPECT_EQ(Gamepads::Instance().GetListenerCount(), 1u);
    EXPECT_EQ(core.AntBarSystem_->GetTicketCount(), 1u);

    folder.Write("main.mjs", "globalThis.reloaded = true;\n");
    ASSERT_TRUE(FramesUntil([&] { return reload->GetReloadCount() == 1u; }));
    ASSERT_TRUE(host.Evaluate("JSON.stringify(calls)", "test.js", &calls));
    EXPECT_NE(calls.find("\"cleanup\":1}"), std::string::npos) << calls;
    // As the new scripts might: the script game state made current again.
    ASSERT_TRUE(host.Evaluate(
        "Core.Instance().GameLogicSystem_.SetCurrentGameState(ScriptGameState.Instance())",
        "test.js"));
    for (int i = 0; i < 5; ++i)
        core.RunFrame();
    ASSERT_TRUE(
        host.Evaluate("Core.Instance().GameLogicSystem_.SetCurrentGameState(own)", "test.js"));
    for (int i = 0; i < 3; ++i)
        core.RunFrame();
    ASSERT_TRUE(host.Evaluate("JSON.stringify(calls)", "test.js", &later));
    EXPECT_EQ(later, calls) << "a function of the replaced scripts was called";
    EXPECT_EQ(Gamepads::Instance().GetListenerCount(), 0u);
    EXPECT_EQ(AntBarSystem::GetBars().count("old"), 0u);
    EXPECT_EQ(core.AntBarSystem_->GetTicketCount(), 0u);
    EXPECT_EQ(AntBarSystem::GetBars().count("systems profile"), 1u);
    EXPECT_EQ(AntBarSystem::GetBars().count("GameLogicProfile"), 1u);
}

} // namespace
