// The editor's voxel list without a window: the anchor through deletions, saving it
// first, and loading every stored position as it is.
#include <fstream>

#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"
#include "tools/ModelEditor.h"
#include "voxels/VoxelModel.h"

namespace {

TEST(ModelEditor, AnchorFollowsDeletionsSavedFirstAndLoadedPositionsKept) {
    TempFolder game;
    Core& core = Core::Instance();
    core.SetResourceDir(game.path.string());
    core.PhysicsSystem_->Initialize();
    ModelEditor& editor = ModelEditor::Instance();
    editor.Initialize();
    const auto position = [&](int i) {
        return ObjectManager::GetComponent<TransformComponent>(editor.GetVoxels().at(i))->position;
    };
    for (const glm::vec3 p :
         {glm::vec3(0, 0, 0), glm::vec3(1, 0, 0), glm::vec3(2, 0, 0), glm::vec3(0, -1, -1)})
        editor.CreateVoxel(p, glm::vec4(p, 1.0f));
    EXPECT_EQ(editor.GetAnchorIndex(), 0);

    // The anchor on the last voxel, which moves into the place of a deleted one.
    editor.Select(3);
    editor.MakeSelectedTheAnchor();
    editor.Select(0);
    editor.DeleteSelectedVoxel();
    ASSERT_EQ(editor.GetVoxels().size(), 3u);
    EXPECT_EQ(editor.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(0, -1, -1));

    // Saved with (1, 0, 0) as the anchor: it goes first, the others relative to it.
    editor.Select(1);
    editor.MakeSelectedTheAnchor();
    editor.fileName = "row";
    editor.Save();
    EXPECT_EQ(editor.GetSelectedIndex(), 0) << "the selection follows the swap";
    VoxelModel saved;
    ASSERT_TRUE(saved.LoadFromFile((game.path / "Models" / "row.vxm").string()));
    ASSERT_EQ(saved.voxels.size(), 3u);
    EXPECT_EQ(glm::vec3(saved.voxels[0].position), glm::vec3(0, 0, 0));
    EXPECT_EQ(saved.voxels[0].color, glm::vec4(1, 0, 0, 1));
    EXPECT_EQ(glm::vec3(saved.voxels[1].position), glm::vec3(-1, -1, -1));
    EXPECT_EQ(glm::vec3(saved.voxels[2].position), glm::vec3(1, 0, 0));

    // Deleting the anchor makes the voxel at index 0 after the swap the anchor.
    editor.DeleteSelectedVoxel();
    EXPECT_EQ(editor.GetAnchorIndex(), 0);
    EXPECT_EQ(position(0), glm::vec3(2, 0, 0));

    // A file too short to be a model leaves the model being edited alone.
    std::ofstream(game.path / "Models" / "broken.vxm") << "xy";
    editor.RefreshModelList();
    ASSERT_EQ(editor.GetModelNames(), (std::vector<std::string>{"broken.vxm", "row.vxm"}));
    editor.selectedModel = 0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(editor.LoadSelectedModel());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Could not load broken.vxm"),
              std::string::npos);
    EXPECT_EQ(editor.GetVoxels().size(), 2u);

    // Loaded back, a voxel stored at (-1, -1, -1) stays there.
    editor.selectedModel = 1;
    ASSERT_TRUE(editor.LoadSelectedModel());
    ASSERT_EQ(editor.GetVoxels().size(), 3u);
    EXPECT_EQ(position(1), glm::vec3(-1, -1, -1));
    EXPECT_EQ(editor.fileName, "row");
    editor.Cleanup();
}

} // namespace
