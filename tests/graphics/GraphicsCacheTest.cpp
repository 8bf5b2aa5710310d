#include <filesystem>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "graphics/GraphicsSystem.h"
#include "messaging/MessageManager.h"
#include "voxels/VoxelModel.h"

// The model cache needs no GL: a system that was never initialized serves it.
TEST(GraphicsCache, ModelsLoadOnceAndFailuresStayCached) {
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("marrowvale-models-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    MessageManager messages;
    GraphicsSystem graphics(messages);

    VoxelModel saved;
    saved.voxels.resize(3);
    const std::string file = (dir / "three.vxm").string();
    ASSERT_TRUE(saved.SaveToFile(file));

    VoxelModel* model = graphics.GetModel(file);
    EXPECT_EQ(model->voxels.size(), 3u);
    EXPECT_EQ(graphics.GetModel(file), model);
    model->voxels.clear(); // edits are shared, and a second request does not reload
    EXPECT_TRUE(graphics.GetModel(file)->voxels.empty());

    const std::string missing = (dir / "missing.vxm").string();
    VoxelModel* failed = graphics.GetModel(missing);
    EXPECT_TRUE(failed->voxels.empty());
    ASSERT_TRUE(saved.SaveToFile(missing));
    EXPECT_EQ(graphics.GetModel(missing), failed);
    EXPECT_TRUE(failed->voxels.empty()) << "a failed load is not retried";
    EXPECT_EQ(graphics.modelCache.size(), 2u);

    std::filesystem::remove_all(dir);
}
