// The editor's voxel list without a window: the anchor through deletions, saving it
// first, loading every stored position as it is, and the undo history and mirror
// editing over all of it.
#include <fstream>
#include <sstream>
#include <thread>

#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"
#include "tools/ModelEditor.h"
#include "tools/VolumeCreationState.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"

namespace {

// What the user sees of the model: its voxels in list order, which one is the anchor
// and the file name.
struct Snapshot {
    std::vector<VoxelData> voxels;
    int anchor = -1;
    std::string file;

    bool operator==(const Snapshot& o) const {
        return voxels == o.voxels && anchor == o.anchor && file == o.file;
    }
};

std::string Describe(const Snapshot& s) {
    std::ostringstream out;
    out << s.file << " anchor " << s.anchor << ":";
    for (const VoxelData& v : s.voxels)
        out << " (" << v.position.x << "," << v.position.y << "," << v.position.z << " #"
            << v.colour.r << "," << v.colour.g << "," << v.colour.b << ")";
    return out.str();
}

Snapshot Snap(const ModelEditor& editor) {
    return {editor.GetVoxelData(), editor.GetAnchorIndex(), editor.fileName};
}

// After any undo or redo both indices name a voxel or nothing.
void ExpectValidIndices(const ModelEditor& editor) {
    const int count = static_cast<int>(editor.GetVoxels().size());
    EXPECT_TRUE(editor.GetSelectedIndex() >= -1 && editor.GetSelectedIndex() < count);
    EXPECT_EQ(editor.GetAnchorIndex() >= 0, count > 0);
    EXPECT_LT(editor.GetAnchorIndex(), count);
}

void Press(std::uint32_t key) {
    Core::Instance().BroadcastMessage(
        TryCreateMessage<KeyboardMessage>(KS_PRESSED, key, false, false, false));
}

TEST(ModelEditor, AnchorFollowsDeletionsSavedFirstLoadedAndEveryStepUndoneAndRedone) {
    TempFolder game;
    Core& core = Core::Instance();
    core.SetResourceDir(game.path.string());
    core.PhysicsSystem_->Initialize();
    ModelEditor& editor = ModelEditor::Instance();
    editor.Initialize();
    const auto position = [&](int i) {
        return ObjectManager::GetComponent<TransformComponent>(editor.GetVoxels().at(i))->position;
    };
    // Typing a name is no step: named from the start, every snapshot has it.
    editor.fileName = "row";
    // The model after each step: snapshots[k] is what k steps made.
    std::vector<Snapshot> snapshots{Snap(editor)};
    const auto stepped = [&] { snapshots.push_back(Snap(editor)); };
    for (const glm::vec3 p :
         {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(2, 0, 0), glm::vec3(0, -1, -1)}) {
        editor.CreateVoxel(p, glm::vec4(p, 1.0f));
        stepped();
    }
    EXPECT_EQ(editor.GetAnchorIndex(), 0);

    // The anchor on the last voxel, which moves into the place of a deleted one.
    editor.Select(3);
    editor.MakeSelectedTheAnchor();
    stepped();
    editor.Select(0);
    editor.DeleteSelectedVoxel();
    stepped();
    ASSERT_EQ(editor.GetVoxels().size(), 3u);
    EXPECT_EQ(editor.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(0, -1, -1));

    // Saved with (1, 0, 0) as the anchor: it goes first, the others relative to it.
    editor.Select(1);
    editor.MakeSelectedTheAnchor();
    stepped();
    editor.Save();
    EXPECT_EQ(editor.GetSelectedIndex(), 0) << "the selection follows the swap";
    VoxelModel saved;
    ASSERT_TRUE(saved.LoadFromFile((game.path / "Models" / "row.vxm").string()));
    ASSERT_EQ(saved.voxels.size(), 3u);
    EXPECT_EQ(glm::vec3(saved.voxels[0].position), glm::vec3(0, 0, 0));
    EXPECT_EQ(saved.voxels[0].color, glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(glm::vec3(saved.voxels[1].position), glm::vec3(-1, -1, -1));
    EXPECT_EQ(glm::vec3(saved.voxels[2].position), glm::vec3(1, 0, 0));
    // Exported beside it as a mesh, relative to the anchor too: three separate cubes.
    EXPECT_TRUE(editor.ExportModelMesh());
    EXPECT_EQ(editor.GetStatus(), "Exported row.glb");
    EXPECT_GT(std::filesystem::file_size(game.path / "Models" / "row.glb"), 0u);
    // Saving is no step; the model it reordered is what undoing back to here gives.
    EXPECT_EQ(editor.GetHistory().GetUndoCount(), snapshots.size() - 1);
    snapshots.back() = Snap(editor);

    // Deleting the anchor makes the voxel at index 0 after the swap the anchor.
    editor.DeleteSelectedVoxel();
    stepped();
    EXPECT_EQ(editor.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(2, 0, 0));

    // A file too short to be a model leaves the model being edited alone, and the
    // history too.
    std::ofstream(game.path / "Models" / "broken.vxm") << "xy";
    editor.RefreshModelList();
    ASSERT_EQ(editor.GetModelNames(), (std::vector<std::string>{"broken.vxm", "row.vxm"}));
    editor.selectedModel = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(editor.LoadSelectedModel());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not load broken.vxm"),
              std::string::npos);
    EXPECT_EQ(editor.GetVoxels().size(), 2u);
    EXPECT_EQ(editor.GetHistory().GetUndoCount(), snapshots.size() - 1);

    // Loaded back, a voxel stored at (-1, -1, -1) stays there. The camera stood
    // elsewhere for the model before.
    const auto moveCamera = [&](const glm::vec3& to) {
        ObjectManager::GetComponent<TransformComponent>(editor.GetCameraObject())->position = to;
    };
    const auto cameraAt = [&] {
        return ObjectManager::GetComponent<TransformComponent>(editor.GetCameraObject())->position;
    };
    moveCamera(glm::vec3(5, 6, 7));
    editor.selectedModel = 1;
    ASSERT_TRUE(editor.LoadSelectedModel());
    stepped();
    ASSERT_EQ(editor.GetVoxels().size(), 3u);
    EXPECT_EQ(position(1), glm::vec3(-1, -1, -1));
    EXPECT_EQ(editor.fileName, "row");
    EXPECT_EQ(cameraAt(), glm::vec3(5, 6, 7)) << "the model being edited was row.vxm itself";

    // A new model, after its question; undone, the loaded one is back.
    moveCamera(glm::vec3(1, 2, 3));
    editor.AskNewModel();
    editor.AnswerYes();
    stepped();
    EXPECT_TRUE(editor.GetVoxels().empty());
    EXPECT_EQ(editor.fileName, "ModelName1");
    ASSERT_TRUE(editor.Undo());
    EXPECT_TRUE(Snap(editor) == snapshots[snapshots.size() - 2]) << Describe(Snap(editor));
    ASSERT_TRUE(editor.Redo());

    // Loading row.vxm again brings back the view it was left with.
    moveCamera(glm::vec3(-4, 0, 0));
    ASSERT_TRUE(editor.LoadSelectedModel());
    stepped();
    EXPECT_EQ(cameraAt(), glm::vec3(1, 2, 3));
    ASSERT_TRUE(editor.GetRememberedView("ModelName1.vxm"));
    EXPECT_EQ(editor.GetRememberedView("ModelName1.vxm")->position, glm::vec3(-4, 0, 0));
    EXPECT_FALSE(editor.GetRememberedView("broken.vxm"));

    // Every step back to the empty start, each giving the model as it was.
    ASSERT_EQ(editor.GetHistory().GetUndoCount(), snapshots.size() - 1);
    for (std::size_t k = snapshots.size() - 1; k-- > 0;) {
        ASSERT_TRUE(editor.Undo()) << k;
        EXPECT_TRUE(Snap(editor) == snapshots[k])
            << k << ": " << Describe(Snap(editor)) << "\nwanted " << Describe(snapshots[k]);
        ExpectValidIndices(editor);
    }
    EXPECT_FALSE(editor.Undo());
    // And forwards again to the end.
    for (std::size_t k = 1; k < snapshots.size(); ++k) {
        ASSERT_TRUE(editor.Redo()) << k;
        EXPECT_TRUE(Snap(editor) == snapshots[k])
            << k << ": " << Describe(Snap(editor)) << "\nwanted " << Describe(snapshots[k]);
        ExpectValidIndices(editor);
    }
    EXPECT_FALSE(editor.Redo());

    // A new edit after undos: what was undone cannot be redone any more.
    editor.Undo();
    editor.Undo();
    editor.CreateVoxel(glm::vec3(9, 9, 9));
    EXPECT_FALSE(editor.GetHistory().CanRedo());
    ASSERT_TRUE(editor.Undo());
    EXPECT_TRUE(Snap(editor) == snapshots[snapshots.size() - 3]) << Describe(Snap(editor));
    ASSERT_TRUE(editor.Redo());
    EXPECT_EQ(editor.GetVoxels().size(), 4u);

    // Leaving the editor keeps the history, and the model left behind is one undo away.
    const Snapshot before = Snap(editor);
    editor.Cleanup();
    core.objectManager->ClearAllObjects();
    editor.Initialize();
    EXPECT_TRUE(editor.GetVoxels().empty());
    EXPECT_EQ(editor.fileName, "ModelName1");
    ASSERT_TRUE(editor.Undo());
    EXPECT_TRUE(Snap(editor) == before) << Describe(Snap(editor));
    for (const GameObject& v : editor.GetVoxels())
        EXPECT_TRUE(ObjectManager::IsValid(v)) << "made anew, not the objects cleared";
    editor.Cleanup();
}

// Mirror X about the anchor at x = 1, then all three axes; recolouring that goes on over
// several updates; a volume block undone through the volume mode and the editor alike;
// the panel's figures and the model list following the folder.
TEST(ModelEditor, MirroredEditsVolumeBlocksAndColourDragsAreOneStepEach) {
    TempFolder game;
    Core& core = Core::Instance();
    core.SetResourceDir(game.path.string());
    core.PhysicsSystem_->Initialize();
    ModelEditor& editor = ModelEditor::Instance();
    editor.Initialize();
    const auto count = [&] { return editor.GetVoxels().size(); };
    const auto indexAt = [&](const glm::vec3& p) {
        const std::vector<VoxelData> data = editor.GetVoxelData();
        for (std::size_t i = 0; i < data.size(); ++i)
            if (data[i].position == p)
                return static_cast<int>(i);
        return -1;
    };
    const auto colourAt = [&](const glm::vec3& p) {
        return editor.GetVoxelData().at(static_cast<std::size_t>(indexAt(p))).colour;
    };
    // Counted from here: the history outlives the editor's sessions.
    const std::size_t earlier = editor.GetHistory().GetUndoCount();
    const auto steps = [&] { return editor.GetHistory().GetUndoCount() - earlier; };
    editor.mirror[0] = true;

    // The first voxel is the anchor and on its own plane: no image.
    editor.CreateVoxel(glm::vec3(1, 0, 0));
    EXPECT_EQ(count(), 1u);
    const glm::vec4 red(1, 0, 0, 1);
    editor.CreateVoxel(glm::vec3(3, 0, 0), red);
    ASSERT_EQ(count(), 3u);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), red);
    editor.CreateVoxel(glm::vec3(1, 2, 0));
    EXPECT_EQ(count(), 4u) << "a voxel on the plane is not doubled";
    EXPECT_EQ(steps(), 3u);
    editor.Update(0.0f);
    EXPECT_EQ(editor.GetVoxelCount(), 4);
    EXPECT_EQ(editor.GetModelSize(), "5 x 3 x 1");

    // One undo takes a voxel and its image back together.
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(count(), 1u);
    editor.Redo();
    editor.Redo();
    ASSERT_EQ(count(), 4u);
    EXPECT_EQ(indexAt(glm::vec3(-1, 0, 0)), 2);

    // Copied in place on the plane, the copy is no mirror voxel of the original: deleting
    // one leaves the other.
    editor.Select(indexAt(glm::vec3(1, 2, 0)));
    editor.DuplicateSelectedVoxel();
    EXPECT_EQ(count(), 5u);
    editor.DeleteSelectedVoxel();
    EXPECT_EQ(count(), 4u);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(count(), 4u);

    // All three axes: a voxel off every plane has seven images, one on two planes one.
    editor.mirror[1] = editor.mirror[2] = true;
    editor.CreateVoxel(glm::vec3(2, 1, 1));
    EXPECT_EQ(count(), 12u);
    for (const glm::vec3 p :
         {glm::vec3(0, 1, 1), glm::vec3(2, -1, 1), glm::vec3(0, -1, -1), glm::vec3(2, -1, -1)})
        EXPECT_GE(indexAt(p), 0) << p.x << "," << p.y << "," << p.z;
    editor.CreateVoxel(glm::vec3(1, 0, 4));
    EXPECT_EQ(count(), 14u);
    EXPECT_GE(indexAt(glm::vec3(1, 0, -4)), 0);
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(count(), 4u);
    editor.mirror[1] = editor.mirror[2] = false;

    // Deleting (3, 0, 0) deletes its mirror voxel; the anchor stays on its voxel.
    editor.Select(indexAt(glm::vec3(3, 0, 0)));
    editor.DeleteSelectedVoxel();
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(indexAt(glm::vec3(-1, 0, 0)), -1);
    EXPECT_EQ(editor.GetVoxelData().at(editor.GetAnchorIndex()).position, glm::vec3(1, 0, 0));
    editor.Undo();
    ASSERT_EQ(count(), 4u);
    EXPECT_EQ(editor.GetSelectedIndex(), -1) << "voxels came back: the selection is let go";

    // A colour dragged over several updates is one step, and the mirror voxel follows.
    const std::size_t before = steps();
    editor.Select(indexAt(glm::vec3(3, 0, 0)));
    for (const glm::vec4 c :
         {glm::vec4(0, 0, 1, 1), glm::vec4(0, 0.5f, 1, 1), glm::vec4(1, 1, 0, 1)}) {
        editor.selectedColour = c;
        editor.Update(0.0f);
    }
    EXPECT_EQ(steps(), before + 1);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), glm::vec4(1, 1, 0, 1));
    // Another selection ends the step: the same voxel recoloured again is a second one.
    editor.Select(0);
    editor.Select(indexAt(glm::vec3(3, 0, 0)));
    editor.selectedColour = glm::vec4(1, 1, 1, 1);
    editor.Update(0.0f);
    EXPECT_EQ(steps(), before + 2);
    editor.Undo();
    EXPECT_EQ(editor.selectedColour, glm::vec4(1, 1, 0, 1)) << "the panel shows the colour back";
    EXPECT_NE(editor.GetSelectedIndex(), -1) << "kept through an edit in place";
    editor.Update(0.0f);
    EXPECT_EQ(steps(), before + 1) << "showing the colour back is no edit";
    editor.Undo();
    EXPECT_EQ(colourAt(glm::vec3(3, 0, 0)), red);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), red);
    editor.Redo();
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), glm::vec4(1, 1, 0, 1));
    editor.Deselect();

    // A volume block from (0, 0, 2) to (1, 0, 3): four cells and the images of the two
    // off the plane, made as one step in the cells' colours.
    editor.EnterVolumeMode();
    VolumeCreationState& volume = editor.GetVolumeCreation();
    volume.gridMovement = true;
    Press('k');
    Press('k');
    volume.creationMode = true;
    editor.Update(0.0f);
    Press('l');
    Press('k');
    ASSERT_EQ(volume.GetPreview().size(), 4u);
    const std::size_t beforeBlock = steps();
    volume.CreateVoxels();
    EXPECT_EQ(count(), 10u);
    EXPECT_EQ(steps(), beforeBlock + 1);
    EXPECT_EQ(colourAt(glm::vec3(2, 0, 3)), colourAt(glm::vec3(0, 0, 3)));
    EXPECT_EQ(indexAt(glm::vec3(3, 0, 3)), -1);
    // Undone through the volume mode it is the history's step that is undone: the editor
    // can redo it, and then the volume mode undo it again. Nothing before the block is
    // the volume mode's to undo.
    volume.Undo();
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(steps(), beforeBlock);
    ASSERT_TRUE(editor.Redo());
    EXPECT_EQ(count(), 10u);
    volume.Undo();
    volume.Undo();
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(steps(), beforeBlock);
    volume.Leave();

    // The model list follows files that come and go in the folder, within about a second.
    ASSERT_TRUE(editor.GetModelNames().empty());
    std::filesystem::create_directories(game.path / "Models");
    VoxelModel dot;
    dot.voxels.resize(1);
    ASSERT_TRUE(dot.SaveToFile((game.path / "Models" / "dot.vxm").string()));
    const auto updatedFor = [&](double seconds) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        while (std::chrono::steady_clock::now() < end) {
            editor.Update(0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    };
    updatedFor(1.3);
    EXPECT_EQ(editor.GetModelNames(), std::vector<std::string>{"dot.vxm"});
    std::filesystem::remove(game.path / "Models" / "dot.vxm");
    updatedFor(1.3);
    EXPECT_TRUE(editor.GetModelNames().empty());
    editor.Cleanup();
}

} // namespace
