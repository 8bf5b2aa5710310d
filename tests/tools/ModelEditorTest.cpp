// The editor's voxel list without a window: the anchor through deletions, saving it
// first, loading every stored position as it is, and the undo history and mirror
// editing over all of it.
#include <fstream>
#include <sstream>
#include <thread>

#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"
#include "tools/ModelEditor.h"
#include "tools/VolumeCreationState.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

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

Snapshot Snap(const ModelDocument& model) {
    return {model.GetVoxelData(), model.GetAnchorIndex(), model.fileName};
}

// After any undo or redo both indices name a voxel or nothing.
void ExpectValidIndices(const ModelDocument& model) {
    const int count = static_cast<int>(model.GetVoxels().size());
    EXPECT_TRUE(model.GetSelectedIndex() >= -1 && model.GetSelectedIndex() < count);
    EXPECT_EQ(model.GetAnchorIndex() >= 0, count > 0);
    EXPECT_LT(model.GetAnchorIndex(), count);
}

void Press(std::uint32_t key, bool ctrl = false, bool shift = false) {
    Core::Instance().BroadcastMessage(
        TryCreateMessage<KeyboardMessage>(KS_PRESSED, key, false, ctrl, shift));
}

TEST(ModelEditor, AnchorSavesLoadsUndoesAndMirroredEditsVolumesAndColourDragsAreOneStepEach) {
    TempFolder game;
    Core& core = Core::Instance();
    core.SetResourceDir(game.path.string());
    core.PhysicsSystem_->Initialize();
    ModelEditor& editor = ModelEditor::Instance();
    editor.Initialize();
    ModelDocument& model = editor.GetDocument();
    ModelFiles& files = editor.GetFiles();
    const auto position = [&](int i) {
        return ObjectManager::GetComponent<TransformComponent>(model.GetVoxels().at(i))->position;
    };
    // Typing a name is no step: named from the start, every snapshot has it.
    model.fileName = "row";
    // The model after each step: snapshots[k] is what k steps made.
    std::vector<Snapshot> snapshots{Snap(model)};
    const auto stepped = [&] { snapshots.push_back(Snap(model)); };
    for (const glm::vec3 p :
         {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(2, 0, 0), glm::vec3(0, -1, -1)}) {
        model.CreateVoxel(p, glm::vec4(p, 1.0f));
        stepped();
    }
    EXPECT_EQ(model.GetAnchorIndex(), 0);

    // The anchor on the last voxel, which moves into the place of a deleted one.
    model.Select(3);
    model.MakeSelectedTheAnchor();
    stepped();
    model.Select(0);
    model.DeleteSelectedVoxel();
    stepped();
    ASSERT_EQ(model.GetVoxels().size(), 3u);
    EXPECT_EQ(model.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(0, -1, -1));

    // Saved with (1, 0, 0) as the anchor: it goes first, the others relative to it.
    model.Select(1);
    model.MakeSelectedTheAnchor();
    stepped();
    editor.Save();
    EXPECT_EQ(model.GetSelectedIndex(), 0) << "the selection follows the swap";
    VoxelModel saved;
    ASSERT_TRUE(saved.LoadFromFile((game.path / "Models" / "row.vxm").string()));
    ASSERT_EQ(saved.voxels.size(), 3u);
    EXPECT_EQ(glm::vec3(saved.voxels[0].position), glm::vec3(0, 0, 0));
    EXPECT_EQ(saved.voxels[0].color, glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(glm::vec3(saved.voxels[1].position), glm::vec3(-1, -1, -1));
    EXPECT_EQ(glm::vec3(saved.voxels[2].position), glm::vec3(1, 0, 0));
    // Exported beside it as a mesh, relative to the anchor too: three separate cubes.
    EXPECT_TRUE(files.ExportModelMesh());
    EXPECT_EQ(files.GetStatus(), "Exported row.glb");
    EXPECT_GT(std::filesystem::file_size(game.path / "Models" / "row.glb"), 0u);
    // Saving is no step; the model it reordered is what undoing back to here gives.
    EXPECT_EQ(model.GetHistory().GetUndoCount(), snapshots.size() - 1);
    snapshots.back() = Snap(model);

    // Deleting the anchor makes the voxel at index 0 after the swap the anchor.
    model.DeleteSelectedVoxel();
    stepped();
    EXPECT_EQ(model.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(2, 0, 0));

    // A file too short to be a model leaves the model being edited alone, and the
    // history too.
    std::ofstream(game.path / "Models" / "broken.vxm") << "xy";
    files.RefreshModelList();
    ASSERT_EQ(files.GetModelNames(), (std::vector<std::string>{"broken.vxm", "row.vxm"}));
    files.selectedModel = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(editor.LoadSelectedModel());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not load broken.vxm"),
              std::string::npos);
    EXPECT_EQ(model.GetVoxels().size(), 2u);
    EXPECT_EQ(model.GetHistory().GetUndoCount(), snapshots.size() - 1);

    // Loaded back, a voxel stored at (-1, -1, -1) stays there. The camera stood
    // elsewhere for the model before.
    const auto moveCamera = [&](const glm::vec3& to) {
        ObjectManager::GetComponent<TransformComponent>(editor.GetCameraObject())->position = to;
    };
    const auto cameraAt = [&] {
        return ObjectManager::GetComponent<TransformComponent>(editor.GetCameraObject())->position;
    };
    moveCamera(glm::vec3(5, 6, 7));
    files.selectedModel = 1;
    ASSERT_TRUE(editor.LoadSelectedModel());
    stepped();
    ASSERT_EQ(model.GetVoxels().size(), 3u);
    EXPECT_EQ(position(1), glm::vec3(-1, -1, -1));
    EXPECT_EQ(model.fileName, "row");
    EXPECT_EQ(cameraAt(), glm::vec3(5, 6, 7)) << "the model being edited was row.vxm itself";

    // A new model, after its question; undone, the loaded one is back.
    moveCamera(glm::vec3(1, 2, 3));
    editor.AskNewModel();
    editor.AnswerYes();
    stepped();
    EXPECT_TRUE(model.GetVoxels().empty());
    EXPECT_EQ(model.fileName, "ModelName1");
    ASSERT_TRUE(model.Undo());
    EXPECT_TRUE(Snap(model) == snapshots[snapshots.size() - 2]) << Describe(Snap(model));
    ASSERT_TRUE(model.Redo());

    // Loading row.vxm again brings back the view it was left with.
    moveCamera(glm::vec3(-4, 0, 0));
    ASSERT_TRUE(editor.LoadSelectedModel());
    stepped();
    EXPECT_EQ(cameraAt(), glm::vec3(1, 2, 3));
    ASSERT_TRUE(editor.GetRememberedView("ModelName1.vxm"));
    EXPECT_EQ(editor.GetRememberedView("ModelName1.vxm")->position, glm::vec3(-4, 0, 0));
    EXPECT_FALSE(editor.GetRememberedView("broken.vxm"));

    // Every step back to the empty start, each giving the model as it was.
    ASSERT_EQ(model.GetHistory().GetUndoCount(), snapshots.size() - 1);
    for (std::size_t k = snapshots.size() - 1; k-- > 0;) {
        ASSERT_TRUE(model.Undo()) << k;
        EXPECT_TRUE(Snap(model) == snapshots[k])
            << k << ": " << Describe(Snap(model)) << "\nwanted " << Describe(snapshots[k]);
        ExpectValidIndices(model);
    }
    EXPECT_FALSE(model.Undo());
    // And forwards again to the end.
    for (std::size_t k = 1; k < snapshots.size(); ++k) {
        ASSERT_TRUE(model.Redo()) << k;
        EXPECT_TRUE(Snap(model) == snapshots[k])
            << k << ": " << Describe(Snap(model)) << "\nwanted " << Describe(snapshots[k]);
        ExpectValidIndices(model);
    }
    EXPECT_FALSE(model.Redo());

    // A new edit after undos: what was undone cannot be redone any more.
    model.Undo();
    model.Undo();
    model.CreateVoxel(glm::vec3(9, 9, 9));
    EXPECT_FALSE(model.GetHistory().CanRedo());
    ASSERT_TRUE(model.Undo());
    EXPECT_TRUE(Snap(model) == snapshots[snapshots.size() - 3]) << Describe(Snap(model));
    ASSERT_TRUE(model.Redo());
    EXPECT_EQ(model.GetVoxels().size(), 4u);

    // Leaving the editor keeps the history, and the model left behind is one undo away.
    const Snapshot before = Snap(model);
    editor.Cleanup();
    core.objectManager->ClearAllObjects();
    editor.Initialize();
    EXPECT_TRUE(model.GetVoxels().empty());
    EXPECT_EQ(model.fileName, "ModelName1");
    ASSERT_TRUE(model.Undo());
    EXPECT_TRUE(Snap(model) == before) << Describe(Snap(model));
    for (const GameObject& v : model.GetVoxels())
        EXPECT_TRUE(ObjectManager::IsValid(v)) << "made anew, not the objects cleared";
    // The anchor deleted again and again until the last voxel goes: then there is none.
    while (!model.GetVoxels().empty()) {
        model.Select(0);
        model.DeleteSelectedVoxel();
    }
    EXPECT_EQ(model.GetAnchorIndex(), -1);
    EXPECT_EQ(model.GetSelectedIndex(), -1);
    editor.Cleanup();

    // In another game's folder: mirror X about the anchor at x = 1, then all three axes; a
    // mirrored drag; recolouring that goes on over several updates; a volume block undone
    // and redone by the keys as the editor gets them; the panel's figures and the model list
    // following the folder.
    TempFolder other;
    core.SetResourceDir(other.path.string());
    editor.Initialize();
    const auto count = [&] { return model.GetVoxels().size(); };
    const auto indexAt = [&](const glm::vec3& p) {
        const std::vector<VoxelData> data = model.GetVoxelData();
        for (std::size_t i = 0; i < data.size(); ++i)
            if (data[i].position == p)
                return static_cast<int>(i);
        return -1;
    };
    const auto colourAt = [&](const glm::vec3& p) {
        return model.GetVoxelData().at(static_cast<std::size_t>(indexAt(p))).colour;
    };
    // Counted from here: the history outlives the editor's sessions.
    const std::size_t earlier = model.GetHistory().GetUndoCount();
    const auto steps = [&] { return model.GetHistory().GetUndoCount() - earlier; };
    model.mirror[0] = true;

    // The first voxel is the anchor and on its own plane: no image.
    model.CreateVoxel(glm::vec3(1, 0, 0));
    EXPECT_EQ(count(), 1u);
    const glm::vec4 red(1, 0, 0, 1);
    model.CreateVoxel(glm::vec3(3, 0, 0), red);
    ASSERT_EQ(count(), 3u);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), red);
    model.CreateVoxel(glm::vec3(1, 2, 0));
    EXPECT_EQ(count(), 4u) << "a voxel on the plane is not doubled";
    EXPECT_EQ(steps(), 3u);
    editor.Update(0.0f);
    EXPECT_EQ(editor.GetVoxelCount(), 4);
    EXPECT_EQ(editor.GetModelSize(), "5 x 3 x 1");

    // The lit preview lights the model over a plate under its lowest voxel, and gives the
    // game its own lighting back when turned off and when the editor closes.
    GraphicsSystem& graphics = *core.GraphicsSystem_;
    graphics.fogDensity = 0.05f;
    const auto plates = [&] {
        core.objectManager->DelayedDestruction();
        std::vector<float> tops;
        ComponentFactory<VoxelModelComponent>::Instance().ForEachAttached(
            [&](VoxelModelComponent& shown) {
                const glm::vec3 at =
                    ObjectManager::GetComponent<TransformComponent>(shown.owner)->position;
                tops.push_back(at.y + shown.GetHalfExtents().y);
            });
        return tops;
    };
    const auto previewShown = [&](bool on) {
        editor.GetLitPreview().enabled = on;
        editor.Update(0.0f);
        EXPECT_EQ(graphics.lighting, on);
        EXPECT_EQ(graphics.fogDensity, on ? 0.0f : 0.05f);
        EXPECT_EQ(plates(), on ? std::vector<float>{-0.5f} : std::vector<float>{});
    };
    previewShown(true);
    previewShown(false);
    previewShown(true);

    // One undo takes a voxel and its image back together.
    model.Undo();
    model.Undo();
    EXPECT_EQ(count(), 1u);
    model.Redo();
    model.Redo();
    ASSERT_EQ(count(), 4u);
    EXPECT_EQ(indexAt(glm::vec3(-1, 0, 0)), 2);

    // Copied in place on the plane, the copy is no mirror voxel of the original: deleting
    // one leaves the other.
    model.Select(indexAt(glm::vec3(1, 2, 0)));
    model.DuplicateSelectedVoxel();
    EXPECT_EQ(count(), 5u);
    model.DeleteSelectedVoxel();
    EXPECT_EQ(count(), 4u);
    model.Undo();
    model.Undo();
    EXPECT_EQ(count(), 4u);

    // All three axes: a voxel off every plane has seven images, one on two planes one.
    model.mirror[1] = model.mirror[2] = true;
    model.CreateVoxel(glm::vec3(2, 1, 1));
    EXPECT_EQ(count(), 12u);
    for (const glm::vec3 p :
         {glm::vec3(0, 1, 1), glm::vec3(2, -1, 1), glm::vec3(0, -1, -1), glm::vec3(2, -1, -1)})
        EXPECT_GE(indexAt(p), 0) << p.x << "," << p.y << "," << p.z;
    model.CreateVoxel(glm::vec3(1, 0, 4));
    EXPECT_EQ(count(), 14u);
    EXPECT_GE(indexAt(glm::vec3(1, 0, -4)), 0);
    model.Undo();
    model.Undo();
    EXPECT_EQ(count(), 4u);
    model.mirror[1] = model.mirror[2] = false;

    // Deleting (3, 0, 0) deletes its mirror voxel; the anchor stays on its voxel.
    model.Select(indexAt(glm::vec3(3, 0, 0)));
    model.DeleteSelectedVoxel();
    EXPECT_EQ(count(), 2u);
    EXPECT_EQ(indexAt(glm::vec3(-1, 0, 0)), -1);
    EXPECT_EQ(model.GetVoxelData().at(model.GetAnchorIndex()).position, glm::vec3(1, 0, 0));
    model.Undo();
    ASSERT_EQ(count(), 4u);
    EXPECT_EQ(model.GetSelectedIndex(), -1) << "voxels came back: the selection is let go";

    // Dragged two units along +x in two moves of one drag: the mirror voxel goes the other
    // way, and the whole drag is one step.
    model.Select(indexAt(glm::vec3(3, 0, 0)));
    model.BeginDrag();
    model.MoveDragged(glm::vec3(1, 0, 0));
    model.MoveDragged(glm::vec3(1, 0, 0));
    model.FinishDrag();
    EXPECT_GE(indexAt(glm::vec3(5, 0, 0)), 0);
    EXPECT_GE(indexAt(glm::vec3(-3, 0, 0)), 0);
    model.Undo();
    EXPECT_GE(indexAt(glm::vec3(3, 0, 0)), 0);
    EXPECT_GE(indexAt(glm::vec3(-1, 0, 0)), 0);

    // A colour dragged over several updates is one step, and the mirror voxel follows.
    const std::size_t beforeColour = steps();
    model.Select(indexAt(glm::vec3(3, 0, 0)));
    for (const glm::vec4 c :
         {glm::vec4(0, 0, 1, 1), glm::vec4(0, 0.5f, 1, 1), glm::vec4(1, 1, 0, 1)}) {
        editor.selectedColour = c;
        editor.Update(0.0f);
    }
    EXPECT_EQ(steps(), beforeColour + 1);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), glm::vec4(1, 1, 0, 1));
    // Another selection ends the step: the same voxel recoloured again is a second one.
    model.Select(0);
    model.Select(indexAt(glm::vec3(3, 0, 0)));
    editor.selectedColour = glm::vec4(1, 1, 1, 1);
    editor.Update(0.0f);
    EXPECT_EQ(steps(), beforeColour + 2);
    model.Undo();
    EXPECT_EQ(editor.selectedColour, glm::vec4(1, 1, 0, 1)) << "the panel shows the colour back";
    EXPECT_NE(model.GetSelectedIndex(), -1) << "kept through an edit in place";
    editor.Update(0.0f);
    EXPECT_EQ(steps(), beforeColour + 1) << "showing the colour back is no edit";
    model.Undo();
    EXPECT_EQ(colourAt(glm::vec3(3, 0, 0)), red);
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), red);
    model.Redo();
    EXPECT_EQ(colourAt(glm::vec3(-1, 0, 0)), glm::vec4(1, 1, 0, 1));
    model.Deselect();

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
    // CTRL+Z in the volume mode undoes the history's step of its block: CTRL+SHIFT+Z
    // redoes it, and then CTRL+Z undoes it again. Nothing before the block is the volume
    // mode's to undo.
    Press('z', true);
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(steps(), beforeBlock);
    Press('z', true, true);
    EXPECT_EQ(count(), 10u);
    Press('z', true);
    Press('z', true);
    EXPECT_EQ(count(), 4u);
    EXPECT_EQ(steps(), beforeBlock);
    volume.Leave();

    // The model list follows files that come and go in the folder.
    ASSERT_TRUE(files.GetModelNames().empty());
    std::filesystem::create_directories(other.path / "Models");
    VoxelModel dot;
    dot.voxels.resize(1);
    ASSERT_TRUE(dot.SaveToFile((other.path / "Models" / "dot.vxm").string()));
    const auto listed = [&](const std::vector<std::string>& names) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (files.GetModelNames() != names && std::chrono::steady_clock::now() < end) {
            editor.Update(0.0f);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return files.GetModelNames() == names;
    };
    EXPECT_TRUE(listed({"dot.vxm"}));
    std::filesystem::remove(other.path / "Models" / "dot.vxm");
    EXPECT_TRUE(listed({}));
    editor.Cleanup();
    EXPECT_FALSE(graphics.lighting) << "a closed editor gives the game its lighting back";
    EXPECT_EQ(graphics.fogDensity, 0.05f);
    EXPECT_TRUE(plates().empty());
    graphics.fogDensity = LightingSettings().fogDensity;
}

} // namespace
