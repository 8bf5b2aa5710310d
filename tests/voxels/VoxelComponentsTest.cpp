#include <gtest/gtest.h>

#include "objects/ObjectManager.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

TEST(VoxelModelComponent, AttachResetsPlacementButKeepsModelAndAlpha) {
    ObjectManager om;
    const GameObject obj = om.NewObject();
    VoxelModel model;
    VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(obj);
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
