#include <gtest/gtest.h>

#include "objects/ObjectManager.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

TEST(VoxelComponent, RandomizeSaturationAtFullBrightnessKeepsHueAndTurnsOpaque) {
    VoxelComponent voxel;
    voxel.color = {0.5f, 0.25f, 0.0f, 0.3f};
    voxel.RandomizeSaturation(255, 255);
    EXPECT_NEAR(voxel.color.r, 1.0f, 1e-6f);
    EXPECT_NEAR(voxel.color.g, 0.5f, 1e-6f);
    EXPECT_NEAR(voxel.color.b, 0.0f, 1e-6f);
    EXPECT_EQ(voxel.color.a, 1.0f);
}

TEST(VoxelModelComponent, AttachResetsPlacementButKeepsModelAndAlpha) {
    ObjectManager om;
    const GameObject obj = om.NewObject();
    VoxelModel model;
    VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(obj);
    EXPECT_EQ(component->model, nullptr);
    EXPECT_EQ(component->alpha, 1.0f);
    component->model = &model;
    component->alpha = 0.5f;
    component->oriented = true;
    component->visible = false;
    component->originOffset = {1, 2, 3};

    ObjectManager::RemoveComponent<VoxelModelComponent>(obj);
    EXPECT_TRUE(component->visible);
    EXPECT_EQ(component->originOffset, glm::vec3(0));
    EXPECT_TRUE(component->oriented);

    component->visible = false;
    ObjectManager::AddComponent<VoxelModelComponent>(obj);
    EXPECT_TRUE(component->visible);
    EXPECT_FALSE(component->oriented);
    EXPECT_EQ(component->model, &model);
    EXPECT_EQ(component->alpha, 0.5f);
}

TEST(VoxelModelComponent, HalfExtentsDescribeTheModelInItsOwnSpace) {
    VoxelModel model;
    model.voxels.resize(2);
    model.voxels[0].position = {0, 0, 0, 1};
    model.voxels[1].position = {3, 1, 0, 1};
    VoxelModelComponent component;
    component.originOffset = {100, 100, 100};
    EXPECT_EQ(component.GetHalfExtents(), glm::vec3(-3.4028235e38f)) << "no model: as if empty";
    component.model = &model;
    EXPECT_EQ(component.GetHalfExtents(), glm::vec3(2.0f, 1.0f, 0.5f));
}
