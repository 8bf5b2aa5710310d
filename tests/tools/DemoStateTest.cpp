// The sample game's start panel and the physics demo it leads to, in the running game:
// panel buttons pressed as a click would press them, F1 and the camera keys through the
// X server. Serial: the keys go to the display's one keyboard.
#include <algorithm>
#include <cstdlib>
#include <string>

#include <GL/glew.h>
#include <btBulletDynamicsCommon.h>

#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "logic/GameLogicSystem.h"
#include "logic/ScriptGameState.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "tools/DemoState.h"
#include "tools/DevConsoleSystem.h"
#include "tools/ToolsTestSupport.h"
#include "tools/TweakBar.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "window/WindowTestSupport.h"

namespace {

class DemoInGame : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        if (std::system("command -v xdotool >/dev/null") != 0)
            GTEST_SKIP() << "xdotool is not installed";
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
        testing::internal::CaptureStdout();
        core.Init();
        const std::string out = testing::internal::GetCapturedStdout();
        ASSERT_TRUE(core.running);
        EXPECT_NE(out.find("Start panel: choose Village, Model editor or Physics demo"),
                  std::string::npos)
            << out;
        Frames(2);
    }

    void Frame() override { core.RunFrame(); }
    void Frames(int count) {
        for (int i = 0; i < count; ++i)
            core.RunFrame();
    }
    const TweakBar* Bar(const char* name) { return core.AntBarSystem_->GetPanels().FindBar(name); }
    // The cube's orange in the scene as drawn, before panels cover any of it: the
    // debug-draw message comes once the voxels are drawn.
    std::size_t OrangePixels() {
        MessageRecorder recorder(*core.messageManager);
        std::size_t orange = 0;
        recorder.onMessage = [&](const MessagePointer& message) {
            if (message->id != MID_DebugDrawMessage)
                return;
            const WindowSystem& window = *core.WindowSystem_;
            std::vector<unsigned char> rgba(4u * window.GetWidth() * window.GetHeight());
            glReadPixels(0, 0, window.GetWidth(), window.GetHeight(), GL_RGBA, GL_UNSIGNED_BYTE,
                         rgba.data());
            for (std::size_t i = 0; i < rgba.size(); i += 4) {
                const float r = rgba[i], g = rgba[i + 1], b = rgba[i + 2];
                orange += r > 60 && g > 0.48f * r && g < 0.7f * r && b < 0.25f * r;
            }
        };
        Frames(1);
        return orange;
    }
    // Objects showing `file`, in id order.
    std::vector<GameObject> Showing(const char* file) {
        const VoxelModel* model = core.GraphicsSystem_->GetModel(file);
        std::vector<GameObject> found;
        ComponentFactory<VoxelModelComponent>::Instance().ForEachAttached(
            [&](VoxelModelComponent& c) {
                if (c.model == model && ObjectManager::IsValid(c.owner))
                    found.push_back(c.owner);
            });
        return found;
    }
    static glm::vec3 PositionOf(const GameObject& obj) {
        return ObjectManager::GetComponent<TransformComponent>(obj)->position;
    }

    Core& core = Core::Instance();
    DemoState& demo = DemoState::Instance();
};

TEST_F(DemoInGame, ProfilesShowLiveFiguresAndTheStartPanelLeadsToACrumbleAndBackToTheVillage) {
    // The village stands behind the start panel and is the current state.
    GameLogicSystem& logic = *core.GameLogicSystem_;
    EXPECT_EQ(logic.GetCurrentGameState(), &ScriptGameState::Instance());
    ASSERT_NE(Bar("Start"), nullptr);
    ASSERT_NE(Bar("Sample panel"), nullptr);
    const std::uint32_t villageObjects = core.objectManager->numGameObjects;
    EXPECT_GT(villageObjects, 10u);
    EXPECT_EQ(Eval("startPanel.IsOpen()"), "true");
    // The meadow's grass and flowers, placed by noise from a seeded source: the
    // same voxels every time the village is built.
    const char* growth =
        "var m = ObjectManager.VoxelModelComponent(scene.meadowGrowth).model, h = 0;"
        "for (var i = 0; i < m.GetVoxelCount(); ++i)"
        "  for (var c of JSON.stringify(m.GetVoxel(i))) h = (h * 31 + c.charCodeAt(0)) | 0;"
        "m.GetVoxelCount() + ' voxels, ' + h";
    const std::string meadow = Eval(growth);
    EXPECT_GT(std::atoi(meadow.c_str()), 100) << meadow;

    // Both profiles show live figures at their refresh: the systems profile, once switched
    // on, the frame rate and each system's time; the game logic profile its steps.
    core.ToggleProfileWindow();
    const auto shown = [&](const char* name) { return Shown("systems profile", name); };
    const auto logicShown = [&] { return Shown("GameLogicProfile", "jsGameState"); };
    EXPECT_TRUE(FramesUntil([&] {
        return shown("frame rate") > 0.0f && shown("GraphicsSystem") > 0.0f && logicShown() > 0.0f;
    })) << "frame rate, milliseconds of drawing, the script step's time";
    const TweakBar* profile = Bar("systems profile");
    ASSERT_TRUE(profile && profile->GetDrawnRect().has_value());
    // The graph below the figures keeps the last seconds of them.
    const TweakControl* graph = profile->FindControl("last seconds, ms");
    ASSERT_NE(graph, nullptr);
    EXPECT_GT(graph->drawnRect.height, 100.0f);
    EXPECT_GT(core.profileGraph.GetSampleCount(), 1u);
    // The figures are the graph's averages, the frame rate its frame time inverted,
    // with units on their labels, and the longest name fits the panel.
    EXPECT_EQ(shown("GraphicsSystem"), core.profileGraph.GetAverage(3));
    EXPECT_NEAR(shown("frame rate") * core.profileGraph.GetAverageTotal(), 1000.0f, 0.5f);
    EXPECT_EQ(profile->FindControl("frame rate")->label, "frame rate (frames/s)");
    const TweakControl* gc = profile->FindControl("JSGarbageCollectorSystem");
    EXPECT_EQ(gc->label, "JSGarbageCollectorSystem (ms/frame)");
    const sf::FloatRect longest = gc->drawnRect;
    EXPECT_GT(longest.width, 100.0f);
    EXPECT_LE(longest.left + longest.width,
              profile->GetDrawnRect()->left + profile->GetDrawnRect()->width - 4);
    const TweakBar* logicProfile = Bar("GameLogicProfile");
    ASSERT_TRUE(logicProfile && logicProfile->GetDrawnRect().has_value());
    // At a refresh a figure follows the measurement; until the next it holds still.
    float first = logicShown();
    ASSERT_TRUE(FramesUntil([&] { return logicShown() != first; }));
    first = logicShown();
    core.RunFrame();
    EXPECT_EQ(logicShown(), first);

    // The sample panel's click counter is a live field the button adds to.
    PressButton("Sample panel", "Count a click");
    ASSERT_NE(Control("Sample panel", "clicks"), nullptr);
    EXPECT_EQ(*static_cast<const std::int32_t*>(Control("Sample panel", "clicks")->var), 1);
    // Its script buttons run the sample's functions: these hide both profiles.
    PressButton("Sample panel", "Systems profile");
    PressButton("Sample panel", "Game logic profile");
    core.RunFrame();
    EXPECT_FALSE(profile->IsVisible());
    EXPECT_FALSE(core.profiling);
    EXPECT_FALSE(logicProfile->IsVisible());

    // F1 closes and opens the panel from the keyboard (read once a frame, so held).
    for (const char* open : {"false", "true"}) {
        Xdotool("keydown F1");
        Frames(2);
        Xdotool("keyup F1");
        Frames(2);
        EXPECT_EQ(Eval("startPanel.IsOpen()"), open);
    }

    PressButton("Start", "Physics demo");
    Frames(2);
    ASSERT_EQ(logic.GetCurrentGameState(), &demo);
    EXPECT_EQ(Bar("Sample panel"), nullptr) << "the village's panel goes with it";
    EXPECT_EQ(Eval("startPanel.IsOpen()"), "false");
    ASSERT_NE(Bar("DemoState"), nullptr);
    // A clean scene: the camera and, as this game has no ground plane, the floor.
    ASSERT_EQ(core.PhysicsSystem_->GetGroundBody(), nullptr);
    EXPECT_TRUE(ObjectManager::IsValid(demo.GetFloorObject()));
    EXPECT_EQ(core.objectManager->numGameObjects, 2u);
    const glm::vec3 eye = PositionOf(demo.GetCameraObject());

    // W moves the camera forward; not while the console is open.
    core.DevConsoleSystem_->SetVisible(true);
    Xdotool("keydown w");
    Frames(5);
    EXPECT_EQ(PositionOf(demo.GetCameraObject()), eye) << "the console has the keyboard";
    core.DevConsoleSystem_->SetVisible(false);
    Frames(5);
    Xdotool("keyup w");
    EXPECT_LT(PositionOf(demo.GetCameraObject()).z, eye.z);
    EXPECT_EQ(PositionOf(demo.GetCameraObject()).x, eye.x);

    EXPECT_EQ(OrangePixels(), 0u);

    // No cube: crumbling does nothing.
    PressButton("DemoState", "CrumbleTest");
    Frames(1);
    EXPECT_EQ(core.objectManager->numGameObjects, 2u);
    EXPECT_TRUE(demo.GetCrumblePieces().empty());

    // A column of test models, 2 apart, read through the backslashed name.
    for (int i = 0; i < 3; ++i)
        PressButton("DemoState", "AddTestVoxelModel");
    const std::vector<GameObject> models = Showing(DemoState::kTestModelFile);
    ASSERT_EQ(models.size(), 3u);
    EXPECT_EQ(core.GraphicsSystem_->GetModel(DemoState::kTestModelFile)->voxels.size(), 81u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(PositionOf(models[i]), glm::vec3(0.0f, -0.5f - 2.0f * i, -25.0f)) << i;

    // Two presses, one cube.
    PressButton("DemoState", "CreateCrumbleTest");
    PressButton("DemoState", "CreateCrumbleTest");
    Frames(1);
    const std::vector<GameObject> cubes = Showing(DemoState::kCubeModelFile);
    ASSERT_EQ(cubes.size(), 1u);
    EXPECT_GT(OrangePixels(), 5000u) << "the cube is in view";
    const std::vector<VoxelInstance> voxels =
        core.GraphicsSystem_->GetModel(DemoState::kCubeModelFile)->voxels;
    ASSERT_EQ(voxels.size(), 125u);

    // The crumble: one piece per voxel, in model order, where the voxel was.
    PressButton("DemoState", "CrumbleTest");
    const std::vector<GameObject> pieces = demo.GetCrumblePieces();
    ASSERT_EQ(pieces.size(), voxels.size());
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        EXPECT_EQ(PositionOf(pieces[i]), glm::vec3(voxels[i].position) + glm::vec3(0, 0.48f, -20))
            << i;
        EXPECT_EQ(ObjectManager::GetComponent<VoxelComponent>(pieces[i])->color, voxels[i].color);
        const btRigidBody* body = ObjectManager::GetComponent<BodyComponent>(pieces[i])->GetBody();
        ASSERT_NE(body, nullptr);
        EXPECT_EQ(body->getBroadphaseProxy()->m_collisionFilterGroup, 2);
        EXPECT_EQ(body->getBroadphaseProxy()->m_collisionFilterMask, 3);
        const btVector3 v = body->getLinearVelocity();
        EXPECT_EQ(v.y(), 0.0f);
        EXPECT_LE(std::hypot(v.x(), v.z()), 7.5f + 1e-3f) << "5 of its own and 2.5 of drift";
    }
    Frames(1);
    EXPECT_FALSE(ObjectManager::IsValid(cubes[0])) << "the cube is gone once it has broken";
    // The mouse pick's query finds a piece from above.
    const glm::vec3 top = PositionOf(pieces.back());
    const RayTestResult hit = core.PhysicsSystem_->RayTestClosestPoint(top + glm::vec3(0, 10, 0),
                                                                       top - glm::vec3(0, 10, 0));
    EXPECT_TRUE(std::any_of(pieces.begin(), pieces.end(), [&](const GameObject& p) {
        return ObjectManager::IsValid(hit.object) && ObjectManager::CompareObj(p, hit.object);
    }));

    // They settle on the floor, then fade together and are deleted.
    int frames = 0;
    while (!demo.ArePiecesSettled() && ++frames < 5000)
        Frames(1);
    ASSERT_TRUE(demo.ArePiecesSettled()) << "after " << frames << " frames";
    for (const GameObject& piece : pieces)
        EXPECT_GT(PositionOf(piece).y, 0.0f) << "resting on the floor, not through it";
    Frames(1);
    const float alpha = ObjectManager::GetComponent<VoxelComponent>(pieces[0])->color.a;
    EXPECT_LT(alpha, 1.0f);
    EXPECT_GT(alpha, 0.0f);
    EXPECT_EQ(ObjectManager::GetComponent<VoxelComponent>(pieces[1])->color.a, alpha)
        << "all pieces fade at one rate";
    while (!demo.GetCrumblePieces().empty() && ++frames < 10000)
        Frames(1);
    ASSERT_TRUE(demo.GetCrumblePieces().empty());
    Frames(1);
    EXPECT_TRUE(std::none_of(pieces.begin(), pieces.end(), &ObjectManager::IsValid));
    EXPECT_FALSE(demo.ArePiecesSettled());
    EXPECT_EQ(core.objectManager->numGameObjects, 5u) << "camera, floor and three models";
    EXPECT_EQ(OrangePixels(), 0u) << "nothing of the cube is left on screen";

    // Back to the village: the demo's panel goes, the village is built again.
    PressButton("Start", "Village");
    Frames(2);
    EXPECT_EQ(logic.GetCurrentGameState(), &ScriptGameState::Instance());
    EXPECT_EQ(Bar("DemoState"), nullptr);
    EXPECT_NE(Bar("Sample panel"), nullptr);
    EXPECT_EQ(core.objectManager->numGameObjects, villageObjects);
    EXPECT_EQ(Eval("ObjectManager.IsValid(scene.crystal)"), "true")
        << "the console's handles are the new village's";
    EXPECT_EQ(Eval(growth), meadow);
    // And to the demo again: it starts afresh.
    PressButton("Start", "Physics demo");
    Frames(2);
    EXPECT_EQ(logic.GetCurrentGameState(), &demo);
    EXPECT_EQ(demo.GetNextModelPosition(), glm::vec3(0.0f, -0.5f, -25.0f));
    EXPECT_EQ(core.objectManager->numGameObjects, 2u);
}

} // namespace
