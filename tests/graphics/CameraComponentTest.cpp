#include <cmath>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/MessageManager.h"
#include "objects/ObjectManager.h"

namespace {

class Cameras : public ::testing::Test {
  protected:
    CameraComponent* Camera(glm::vec3 position, glm::quat orientation = {1, 0, 0, 0}) {
        const GameObject obj = om.NewObject();
        TransformComponent* transform = ObjectManager::AddComponent<TransformComponent>(obj);
        transform->position = position;
        transform->orientation = orientation;
        return ObjectManager::AddComponent<CameraComponent>(obj);
    }

    std::size_t Listeners() {
        MessageManager& messages = *Core::Instance().messageManager;
        messages.Update(0.0f); // compacts removed entries
        return messages.GroupSize(0);
    }

    ObjectManager& om = *Core::Instance().objectManager;
};

} // namespace

TEST_F(Cameras, ViewMatrixIsRotationAfterTranslation) {
    // A quarter turn about +y at (1, 2, 3). By hand: the rotation's columns are (0, 0, -1),
    // (0, 1, 0), (1, 0, 0), and the translation column is R * -(1, 2, 3) = (-3, -2, 1).
    const float s = std::sqrt(0.5f);
    CameraComponent* camera = Camera({1, 2, 3}, glm::quat(s, 0, s, 0));
    const glm::mat4 expected(0, 0, -1, 0, //
                             0, 1, 0, 0,  //
                             1, 0, 0, 0,  //
                             -3, -2, 1, 1);
    const glm::mat4 view = camera->GetMatrix();
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(view[c][r], expected[c][r], 1e-6f) << "column " << c << " row " << r;
    EXPECT_EQ(camera->GetMatrixInverse(), glm::mat4(1.0f));

    // A slot that never belonged to an object has no transform to read.
    EXPECT_EQ(CameraComponent().GetMatrix(), glm::mat4(1.0f));
}

TEST_F(Cameras, SetActiveChoosesOneAndAttachStartsInactive) {
    CameraComponent* a = Camera({});
    CameraComponent* b = Camera({});
    CameraComponent* c = Camera({});
    EXPECT_FALSE(a->IsActive());
    a->active = true;
    c->active = true;
    b->SetActive(true);
    EXPECT_FALSE(a->IsActive());
    EXPECT_TRUE(b->IsActive());
    EXPECT_FALSE(c->IsActive());
    c->active = true;
    b->SetActive(false);
    EXPECT_FALSE(b->IsActive());
    EXPECT_TRUE(c->IsActive()) << "switching one off leaves the others alone";

    ObjectManager::AddComponent<CameraComponent>(c->owner); // attached again: inactive
    EXPECT_FALSE(c->IsActive());
}

TEST_F(Cameras, ListenerLivesExactlyWhileAttached) {
    const std::size_t before = Listeners();
    CameraComponent* camera = Camera({});
    EXPECT_EQ(Listeners(), before + 1);
    ObjectManager::AddComponent<CameraComponent>(camera->owner); // a second add
    EXPECT_EQ(Listeners(), before + 1);
    ObjectManager::RemoveComponent<CameraComponent>(camera->owner);
    EXPECT_EQ(Listeners(), before);
    ObjectManager::RemoveComponent<CameraComponent>(camera->owner); // detached: harmless
    EXPECT_EQ(Listeners(), before);
    om.DeleteObject(camera->owner);
    om.Update();
}

TEST_F(Cameras, FrameUsesTheActiveCameraWithTheHighestId) {
    // Only the matrices: without a GL context the frame still chooses its camera.
    GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
    CameraComponent* low = Camera({1, 0, 0});
    CameraComponent* high = Camera({2, 0, 0});
    graphics.Update(0.0f);
    EXPECT_EQ(graphics.GetCameraMatrix(), glm::mat4(1.0f)) << "no active camera: identity";
    EXPECT_EQ(graphics.activeCamera, nullptr);

    low->active = true;
    high->active = true;
    graphics.Update(0.0f);
    EXPECT_EQ(graphics.activeCamera, high);
    EXPECT_EQ(graphics.GetCameraMatrix(), high->GetMatrix());

    ObjectManager::RemoveComponent<CameraComponent>(high->owner);
    graphics.Update(0.0f);
    EXPECT_EQ(graphics.activeCamera, low) << "a detached camera is never chosen";
}
