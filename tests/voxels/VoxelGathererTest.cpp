#include <cmath>
#include <vector>

#include <glm/geometric.hpp>
#include <gtest/gtest.h>

#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelGatherer.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelTestSupport.h"

namespace {

class Gathering : public ::testing::Test {
  protected:
    GameObject Voxel(glm::vec3 position, glm::vec4 color) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = position;
        ObjectManager::AddComponent<VoxelComponent>(obj)->color = color;
        return obj;
    }

    VoxelModelComponent* Model(VoxelModel* model, float alpha, glm::vec3 position = {}) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = position;
        VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(obj);
        component->model = model;
        component->alpha = alpha;
        return component;
    }

    ObjectManager om;
    std::vector<VoxelInstance> instances;
    SeeThroughVoxels transparent;
    VoxelGatherer gatherer{instances, transparent};
};

} // namespace

// Colours double as labels: red channel = the order a record is expected in.
TEST_F(Gathering, OpaqueInOrderThenSeeThroughByYZXAndModelsRotateOnlyWhenOriented) {
    VoxelModel faint; // its own alpha is 0.3, but the model is drawn opaque
    faint.voxels = {Cell({0, 0, 0}, {3, 0, 0, 0.3f}), Cell({1, 0, 0}, {4, 0, 0, 0.3f})};
    VoxelModel glass;
    glass.voxels = {Cell({0, 2, 0}, {10, 0, 0, 1})};

    Voxel({0, 5, 0}, {7, 0, 0, 0.5f});  // y 5: last
    Model(&faint, 1.0f);                // opaque model, after all single voxels
    Voxel({0, 0, 0}, {1, 0, 0, 1});     // opaque voxel
    Voxel({0, 1, 1}, {6, 0, 0, 0.5f});  // y 1, z 1
    Voxel({9, 1, 0}, {5, 0, 0, 0.25f}); // y 1, z 0: before z 1 although x is larger
    Model(&glass, 0.5f, {0, -2, 0});    // see-through model, at (0, 0, 0)
    Voxel({0, 0, 0}, {2, 0, 0, 1});     // opaque voxel
    Voxel({0, 0, 0}, {8, 0, 0, 0.5f});  // ties with the model: single voxels are gathered first
    // Hidden, empty, missing and detached models contribute nothing.
    VoxelModel empty;
    Model(&glass, 1.0f)->visible = false;
    Model(&glass, 0.5f)->visible = false;
    Model(&empty, 1.0f);
    Model(nullptr, 1.0f);
    ObjectManager::RemoveComponent<VoxelModelComponent>(Model(&glass, 1.0f)->owner);

    // The containers start empty every frame; sorted and tree-ordered frames agree.
    for (int frame = 0; frame < 4; ++frame) {
        transparent.useTree = frame % 2 == 1;
        gatherer.GatherScene();
        const std::vector<float> expected = {1, 2, 3, 4, 8, 10, 5, 6, 7};
        ASSERT_EQ(instances.size(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            EXPECT_EQ(instances[i].color.r, expected[i]) << "position " << i;
        EXPECT_EQ(gatherer.FirstBlended(), 2u) << "the faint model's voxels need blending";
    }
    EXPECT_EQ(instances[2].color.a, 0.3f) << "per-voxel alpha of an opaque model is kept";
    EXPECT_EQ(instances[5].color.a, 0.5f) << "model alpha multiplies the voxel's";
    EXPECT_EQ(transparent.Size(), 5u);

    // In a new scene, models rotate only when oriented; single voxels take the whole transform.
    om.ClearAllObjects();
    VoxelModel model;
    model.voxels = {Cell({1, 0, 0}, {1, 1, 1, 1})};
    model.voxels[0].position.w = 0.5f;
    const float s = std::sqrt(0.5f);
    const glm::quat quarterTurnZ(s, 0, 0, s); // w first: +x turns into +y

    const GameObject single = Voxel({1, 2, 3}, {0.1f, 0.2f, 0.3f, 1});
    ObjectManager::GetComponent<TransformComponent>(single)->orientation =
        glm::quat(0.5f, 0.5f, 0.5f, 0.5f);
    VoxelModelComponent* turned = Model(&model, 1.0f, {10, 20, 30});
    turned->oriented = true;
    turned->originOffset = {1, 0, 0};
    TransformComponent* transform = ObjectManager::GetComponent<TransformComponent>(turned->owner);
    transform->orientation = quarterTurnZ;
    transform->scale = {2, 2, 2}; // never applied
    VoxelModelComponent* straight = Model(&model, 1.0f, {10, 20, 30});
    straight->originOffset = {1, 0, 0};
    ObjectManager::GetComponent<TransformComponent>(straight->owner)->orientation = quarterTurnZ;

    gatherer.GatherScene();
    ASSERT_EQ(instances.size(), 3u);
    EXPECT_EQ(instances[0].color, glm::vec4(0.1f, 0.2f, 0.3f, 1));
    EXPECT_EQ(instances[0].position, glm::vec4(1, 2, 3, 1));
    EXPECT_EQ(instances[0].orientation, glm::vec4(0.5f, 0.5f, 0.5f, 0.5f));

    const VoxelInstance& a = instances[1];
    EXPECT_LT(glm::distance(glm::vec3(a.position), glm::vec3(11, 21, 30)), 1e-5f);
    EXPECT_EQ(a.position.w, 1.0f) << "w is the drawn size, the component's voxelScale";
    EXPECT_EQ(a.orientation, glm::vec4(0, 0, s, s));

    const VoxelInstance& b = instances[2];
    EXPECT_EQ(b.position, glm::vec4(12, 20, 30, 1.0f));
    EXPECT_EQ(b.orientation, glm::vec4(0, 0, 0, 1)) << "an unoriented model ignores the turn";
}
