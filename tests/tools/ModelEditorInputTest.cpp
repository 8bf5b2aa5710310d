// The model editor run as the engine runs it (start-up scripts, whole frames) in a game
// folder of its own, driven by real pointer and keyboard input through the X server and
// checked by the files it writes and the pixels it draws. Serial: it moves the server's
// one pointer and focus.
#include <set>
#include <tuple>

#include <GL/glew.h>

#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "logic/GameLogicSystem.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"
#include "tools/AntBarSystem.h"
#include "tools/DevConsoleSystem.h"
#include "tools/ModelEditor.h"
#include "tools/ToolsTestSupport.h"
#include "tools/TweakBar.h"
#include "tools/VolumeCreationState.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "window/WindowTestSupport.h"

namespace {

constexpr int kWidth = 1280, kHeight = 800;

class ModelEditorInput : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        std::filesystem::create_directories(game.path / "Models");
        game.Write("startup.js", "var core = Core.Instance();"
                                 "core.WindowSystem_.initialWidth = 1280;"
                                 "core.WindowSystem_.initialHeight = 800;");
        // The game logic profile would lie under the editor's panel.
        game.Write("postInit.js",
                   "Core.BroadcastMessage(SetBarVisibleMessage.Create('GameLogicProfile', false));"
                   "core.GameLogicSystem_.SetCurrentGameState(ModelEditor.Instance());");
        Core& core = Core::Instance();
        core.SetResourceDir(game.path.string());
        testing::internal::CaptureStdout(); // shader build reports
        core.Init();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(window->IsOpen());
        Xdotool("mousemove 1270 790");
        ASSERT_TRUE(
            FramesUntil([&] { return DrawnRect("ModelEditor", "Create Voxel").width > 0; }));
    }

    void Frame() override {
        Core::Instance().RunFrame();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Drags with the left button by `by` pixels until `moved`.
    void Drag(const std::string& by, const std::function<bool()>& moved) {
        Xdotool("mousedown 1");
        Wait(0.15);
        Xdotool("mousemove_relative -- " + by);
        EXPECT_TRUE(FramesUntil(moved)) << by;
        Xdotool("mouseup 1");
        Wait(0.15);
    }

    // Clicks a panel control once it is drawn and lets the click be seen.
    void Press(const std::string& bar, const std::string& name) {
        ASSERT_TRUE(FramesUntil([&] { return DrawnRect(bar, name).width > 0; })) << name;
        const sf::FloatRect r = DrawnRect(bar, name);
        MoveTo({int(r.left + 8), int(r.top + r.height / 2)});
        Xdotool("click 1");
        Wait(0.15);
    }

    // The colour drawn at a pixel in the frame being built.
    sf::Color Pixel(sf::Vector2i at) {
        Core::Instance().GraphicsSystem_->Update(0.0f);
        return DrawnPixel(at);
    }
    glm::vec3 PositionOf(std::size_t index) {
        return ObjectManager::GetComponent<TransformComponent>(document.GetVoxels().at(index))
            ->position;
    }
    glm::vec3 Camera() {
        return ObjectManager::GetComponent<TransformComponent>(editor.GetCameraObject())->position;
    }
    glm::vec4 ColourOf(std::size_t index) {
        return ObjectManager::GetComponent<VoxelComponent>(document.GetVoxels().at(index))->color;
    }
    bool Shown(const std::string& bar) {
        return Core::Instance().AntBarSystem_->GetPanels().FindBar(bar) != nullptr;
    }

    TempFolder game;
    ModelEditor& editor = ModelEditor::Instance();
    ModelDocument& document = editor.GetDocument();
    ModelFiles& files = editor.GetFiles();
};

TEST_F(ModelEditorInput, BuildSelectDragRecolourSaveAskAndLoadBack) {
    EXPECT_EQ(Control("ModelEditor", "Models"), nullptr) << "no model in the folder yet";

    // A voxel made from the panel: opaque green, drawn at the origin.
    Press("ModelEditor", "Create Voxel");
    ASSERT_EQ(document.GetVoxels().size(), 1u);
    EXPECT_EQ(ColourOf(0), glm::vec4(0, 1, 0, 1));
    const sf::Vector2i origin = ScreenOf(glm::vec3(0.0f));
    ASSERT_TRUE(origin.x > 500 && origin.x < kWidth && origin.y > 100 && origin.y < kHeight - 100)
        << "the camera starts with the origin in view: " << origin.x << "," << origin.y;
    const sf::Color green = Pixel(origin);
    EXPECT_TRUE(green.g > 100 && green.r < 60 && green.b < 60);

    // Clicked, it is selected and its panel appears; Y picks the Y axis; 45 pixels up
    // raise it by exactly one unit.
    MoveTo(origin);
    Xdotool("mousedown 1");
    ASSERT_TRUE(FramesUntil([&] { return document.GetSelectedIndex() == 0; }));
    Xdotool("mouseup 1");
    ASSERT_TRUE(FramesUntil(
        [&] { return DrawnRect("Selected Voxel Properties", "Delete this voxel").width > 0; }));
    EXPECT_NE(Control("Selected Voxel Properties",
                      "This voxel is the anchor voxel (model's rotation point)"),
              nullptr);
    Keys("y");
    Drag("7 -45", [&] { return PositionOf(0).y != 0.0f; });
    EXPECT_EQ(PositionOf(0), glm::vec3(0, 1, 0)) << "the sideways 7 pixels do not count";

    // Recoloured through the panel's colour variable: the voxel is drawn red.
    editor.selectedColour = glm::vec4(1, 0, 0, 1);
    Frame();
    const sf::Color red = Pixel(ScreenOf(glm::vec3(0, 1, 0)));
    EXPECT_TRUE(red.r > 100 && red.g < 60) << int(red.r) << "," << int(red.g);

    // CTRL+C copies it in place. Whichever of the two a click on that spot picks is
    // dragged one more unit up; then the voxel at index 1, clicked, becomes the anchor.
    Keys("ctrl+c");
    ASSERT_EQ(document.GetVoxels().size(), 2u);
    EXPECT_EQ(PositionOf(1), glm::vec3(0, 1, 0));
    MoveTo(ScreenOf(glm::vec3(0, 1, 0)));
    Drag("0 -45", [&] { return PositionOf(document.GetSelectedIndex()).y > 1.5f; });
    const glm::vec3 second = PositionOf(1);
    const float above = PositionOf(0).y - second.y; // voxel 0 seen from voxel 1
    EXPECT_EQ(std::abs(above), 1.0f);
    MoveTo(ScreenOf(second));
    Xdotool("click 1");
    ASSERT_TRUE(FramesUntil([&] { return document.GetSelectedIndex() == 1; }));
    editor.selectedColour = glm::vec4(0, 0, 1, 1);
    Press("Selected Voxel Properties", "Set as anchor voxel (model's rotation point)");
    EXPECT_EQ(document.GetAnchorIndex(), 1);

    // The name typed into the field.
    Press("ModelEditor", "Filename");
    Keys("ctrl+a");
    Xdotool("type --delay 40 --window $W sandwich");
    ASSERT_TRUE(FramesUntil([&] { return document.fileName == "sandwich"; })) << document.fileName;
    MoveTo({900, 700});
    Xdotool("click 1"); // lets go of the field (and of the selection)
    Wait(0.15);

    // Saved under a new name at once.
    Keys("ctrl+s");
    const std::filesystem::path file = game.path / "Models" / "sandwich.vxm";
    EXPECT_TRUE(FramesUntil([&] { return Control("ModelEditor", "Models") != nullptr; }));
    EXPECT_EQ(files.GetStatus(), "Saved sandwich.vxm");
    // The game shows it from now on; a later save over it must reach what the game shows.
    const VoxelModel* shown =
        Core::Instance().GraphicsSystem_->GetModel(editor.GetLastSavedModel());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->voxels.size(), 2u);

    // Changed and saved again: asked first; "No" leaves the file as it was.
    Press("ModelEditor", "Create Voxel");
    Keys("ctrl+s");
    ASSERT_TRUE(FramesUntil([&] {
        return DrawnRect(
                   "ConfirmationWidnow",
                   "Are you sure you want to overwrite the existing save file (sandwich.vxm)?")
                   .width > 0;
    }));
    Press("ConfirmationWidnow", "No");
    ASSERT_TRUE(FramesUntil([&] { return !Shown("ConfirmationWidnow"); }));
    VoxelModel onDisk;
    ASSERT_TRUE(onDisk.LoadFromFile(file.string()));
    EXPECT_EQ(onDisk.voxels.size(), 2u);

    // A new model, after its question; CTRL+Z gives the model back, CTRL+Y takes it away
    // again. Then the saved one loaded back from the list.
    Keys("ctrl+n");
    Press("ConfirmationWidnow", "Yes");
    EXPECT_TRUE(document.GetVoxels().empty());
    Keys("ctrl+z");
    EXPECT_EQ(document.GetVoxels().size(), 3u);
    Keys("ctrl+y");
    EXPECT_TRUE(document.GetVoxels().empty());
    Press("ModelEditor", "Load Model");
    ASSERT_EQ(document.GetVoxels().size(), 2u);
    EXPECT_EQ(document.fileName, "sandwich");

    // DELETE on a clicked voxel; saved over, the model the game shows follows the file.
    MoveTo(ScreenOf(glm::vec3(0, above, 0)));
    Xdotool("click 1");
    ASSERT_TRUE(FramesUntil([&] {
        return document.GetSelectedIndex() == 1 &&
               DrawnRect("Selected Voxel Properties", "Delete this voxel").width > 0;
    }));
    Keys("Delete");
    EXPECT_EQ(document.GetVoxels().size(), 1u);
    editor.Save();
    editor.AnswerYes();
    EXPECT_EQ(shown->voxels.size(), 1u);

    // A file that cannot be written is said so on the panel, and the old one stays.
    std::filesystem::create_directory(game.path / "Models" / "blocked.vxm");
    document.fileName = "blocked";
    testing::internal::CaptureStderr();
    editor.Save();
    editor.AnswerYes();
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(files.GetStatus(), "Could not save blocked.vxm (see standard error)");
    EXPECT_NE(errors.find("Could not save blocked.vxm"), std::string::npos) << errors;
    ASSERT_TRUE(FramesUntil([&] {
        return DrawnRect("ModelEditor", "Could not save blocked.vxm (see standard error)").width >
               0;
    }));
    document.fileName = "../escape";
    editor.Save();
    EXPECT_FALSE(std::filesystem::exists(game.path / "escape.vxm"));

    // W moves the camera forward.
    const glm::vec3 before = Camera();
    Xdotool("keydown --window $W w");
    Wait(0.2);
    Xdotool("keyup --window $W w");
    Wait(0.1);
    EXPECT_LT(Camera().z, before.z - 1.0f);
    EXPECT_LT(Camera().y, before.y) << "forward is where the camera looks, downwards";

    // The right button turns the camera; the pitch stops short of passing 45 degrees.
    const float yaw = EditorCamera::GetYaw(), pitch = EditorCamera::GetPitch();
    MoveTo({900, 300});
    Xdotool("mousedown 3");
    Wait(0.1);
    Xdotool("mousemove_relative -- 10 40");
    ASSERT_TRUE(FramesUntil([&] { return EditorCamera::GetYaw() != yaw; }));
    Xdotool("mouseup 3");
    EXPECT_FLOAT_EQ(EditorCamera::GetYaw(), yaw + 6.0f);
    EXPECT_FLOAT_EQ(EditorCamera::GetPitch(), pitch) << "30 + 24 would pass 45";
}

TEST_F(ModelEditorInput, VolumeBlocksMirrorPlaneConsoleKeysAndThePanelsUndoAndRedo) {
    // A model to load later: one blue voxel.
    VoxelModel dot;
    dot.voxels.resize(1);
    dot.voxels[0].color = glm::vec4(0, 0, 1, 1);
    ASSERT_TRUE(dot.SaveToFile((game.path / "Models" / "dot.vxm").string()));
    files.RefreshModelList();
    Press("ModelEditor", "Toggle Voxel Volume Mode");
    ASSERT_TRUE(FramesUntil([&] { return editor.IsVolumeMode(); }));
    VolumeCreationState& volume = editor.GetVolumeCreation();
    EXPECT_TRUE(volume.GetCursor().visible);
    Press("ModelEditor", "Create Voxel");
    EXPECT_TRUE(document.GetVoxels().empty()) << "single voxels wait while the mode is on";

    // Creation mode fixes the corner; L twice and T once make a 3 x 2 x 1 block.
    Press("Voxel Volume Properties", "Toggle Creation Mode");
    ASSERT_TRUE(volume.creationMode);
    Frame();
    EXPECT_EQ(volume.GetPreview().size(), 1u);
    MoveTo({1100, 700});
    Keys("l l t");
    Press("Voxel Volume Properties", "Snap Cursor to (0,0,0)");
    EXPECT_EQ(volume.GetCursor().position, glm::vec3(2, 1, 0)) << "no snapping in creation mode";

    Press("Voxel Volume Properties", "Create Voxels");
    ASSERT_EQ(document.GetVoxels().size(), 6u);
    std::set<std::tuple<int, int, int>> cells;
    for (std::size_t i = 0; i < 6; ++i) {
        const glm::vec3 p = PositionOf(i);
        cells.insert({int(p.x), int(p.y), int(p.z)});
        const glm::vec4 c = ColourOf(i);
        EXPECT_TRUE(c.r >= -0.2f && c.r <= 0.2f && c.g >= 0.8f && c.g <= 1.2f && c.b >= -0.2f &&
                    c.b <= 0.2f && c.a == 1.0f)
            << c.r << "," << c.g << "," << c.b;
    }
    EXPECT_EQ(cells, (std::set<std::tuple<int, int, int>>{
                         {0, 0, 0}, {1, 0, 0}, {2, 0, 0}, {0, 1, 0}, {1, 1, 0}, {2, 1, 0}}));
    EXPECT_FALSE(volume.creationMode);
    Frame();
    EXPECT_TRUE(volume.GetPreview().empty());
    const sf::Color drawn = Pixel(ScreenOf(glm::vec3(1, 0, 0)));
    EXPECT_TRUE(drawn.g > 100 && drawn.r < 100) << int(drawn.r) << "," << int(drawn.g);

    // CTRL+Z takes the block away; CTRL+Y, the editor's redo, brings it back.
    Keys("ctrl+z");
    EXPECT_TRUE(document.GetVoxels().empty());
    Keys("ctrl+y");
    ASSERT_EQ(document.GetVoxels().size(), 6u);

    // ESC leaves the mode and its panel.
    Keys("Escape");
    EXPECT_FALSE(editor.IsVolumeMode());
    ASSERT_TRUE(FramesUntil([&] { return !Shown("Voxel Volume Properties"); }));
    EXPECT_FALSE(volume.GetCursor().visible);
    EXPECT_TRUE(Core::Instance().running);

    // Loading while the mode is on leaves it first, so the model's voxels are made.
    Press("ModelEditor", "Toggle Voxel Volume Mode");
    ASSERT_TRUE(FramesUntil([&] { return editor.IsVolumeMode(); }));
    Press("ModelEditor", "Load Model");
    EXPECT_FALSE(editor.IsVolumeMode());
    ASSERT_EQ(document.GetVoxels().size(), 1u);
    EXPECT_EQ(ColourOf(0), glm::vec4(0, 0, 1, 1));

    // Restarted within one frame (clean-up, then set-up again), it keeps its panel.
    Core::Instance().GameLogicSystem_->RestartCurrentGameState();
    EXPECT_TRUE(document.GetVoxels().empty());
    ASSERT_TRUE(FramesUntil([&] { return DrawnRect("ModelEditor", "Create Voxel").width > 0; }));

    // The mirror plane drawn while mirroring, the keys that are typing while the console is
    // open, the X key and a drag along x, and the other ways to undo and redo: the panel's
    // buttons and CTRL+SHIFT+Z. The mirror plane x = 0 through the anchor is drawn red, and only
    // while mirroring.
    const auto redAbove = [&] {
        const sf::Vector2i at = ScreenOf(glm::vec3(0, 3, 0));
        for (int dx = -2; dx <= 2; ++dx) {
            const sf::Color c = Pixel({at.x + dx, at.y});
            if (c.r > 200 && c.g < 120 && c.b < 120)
                return true;
        }
        return false;
    };

    // The panel's figures cannot be typed into.
    ASSERT_NE(Control("ModelEditor", "Voxel Count"), nullptr);
    EXPECT_TRUE(Control("ModelEditor", "Voxel Count")->readOnly);
    EXPECT_TRUE(Control("ModelEditor", "Model Size (voxels)")->readOnly);

    Press("ModelEditor", "Mirror X");
    ASSERT_TRUE(document.mirror[0]);
    Press("ModelEditor", "Create Voxel");
    document.CreateVoxel(glm::vec3(2, 0, 0), glm::vec4(1, 0, 0, 1));
    ASSERT_EQ(document.GetVoxels().size(), 3u);
    Frame();
    EXPECT_TRUE(redAbove());

    MoveTo(ScreenOf(glm::vec3(2, 0, 0)));
    Xdotool("click 1");
    ASSERT_TRUE(FramesUntil([&] {
        return document.GetSelectedIndex() == 1 &&
               DrawnRect("Selected Voxel Properties", "Delete this voxel").width > 0;
    }));

    // The panels have shortcuts for plain letters, Delete and CTRL keys, and the editor
    // reads CTRL+Z itself; while the console is open every one of those keys is typing.
    DevConsoleSystem& console = *Core::Instance().DevConsoleSystem_;
    Keys("grave");
    ASSERT_TRUE(console.IsVisible());
    Xdotool("type --delay 20 --window $W 'x = 1; delete y'");
    Keys("Delete ctrl+c ctrl+s ctrl+n ctrl+z Escape Return");
    const std::string typed = "> x = 1; delete y\ntrue\n";
    ASSERT_TRUE(FramesUntil([&] {
        const std::string& out = console.GetOutput();
        return out.size() >= typed.size() &&
               out.compare(out.size() - typed.size(), typed.size(), typed) == 0;
    })) << console.GetOutput();
    Wait(0.15);
    EXPECT_EQ(document.GetVoxels().size(), 3u) << "neither deleted, copied nor undone";
    EXPECT_EQ(editor.GetMovementMode(), ModelEditor::kPlaneXZ);
    EXPECT_EQ(editor.GetQuestion(), "");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(game.path / "Models"), {}), 1)
        << "nothing saved beside dot.vxm";
    Keys("grave");
    ASSERT_FALSE(console.IsVisible());

    // Closed, X picks the X axis again: 45 pixels right move the voxel one unit along x,
    // and the 10 pixels down do not count.
    Keys("x");
    Drag("45 10", [&] { return PositionOf(1).x > 2.5f; });
    EXPECT_LT(glm::length(PositionOf(1) - glm::vec3(3, 0, 0)), 1e-4f);

    Press("ModelEditor", "Mirror X");
    ASSERT_FALSE(document.mirror[0]);
    EXPECT_FALSE(redAbove());

    Keys("ctrl+z");
    EXPECT_LT(glm::length(PositionOf(1) - glm::vec3(2, 0, 0)), 1e-4f);
    Press("ModelEditor", "Undo (can press 'CTRL+Z')");
    EXPECT_EQ(document.GetVoxels().size(), 1u);
    Keys("ctrl+shift+z");
    EXPECT_EQ(document.GetVoxels().size(), 3u);
    Press("ModelEditor", "Redo (can press 'CTRL+Y')");
    EXPECT_LT(glm::length(PositionOf(1) - glm::vec3(3, 0, 0)), 1e-4f);
}

} // namespace
