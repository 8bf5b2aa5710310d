#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
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

TEST_F(Cameras, ViewMatrixIsRotationAfterTranslationAndOneCameraIsActive) {
    // (x 0, y 1, z 0, w 1) at (1, 2, 3): a quarter turn about +y given at sqrt(2) times unit
    // length, which the engine does not normalize, so by hand the rotation's columns are
    // (-1, 0, -2), (0, 1, 0), (2, 0, -1) and the translation column is R * -(1, 2, 3) = (-5, -2,
    // 5).
    CameraComponent* camera = Camera({1, 2, 3}, glm::quat(1, 0, 1, 0));
    const glm::mat4 expected(-1, 0, -2, 0, //
                             0, 1, 0, 0,   //
                             2, 0, -1, 0,  //
                             -5, -2, 5, 1);
    const glm::mat4 view = camera->GetMatrix();
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            EXPECT_NEAR(view[c][r], expected[c][r], 1e-6f) << "column " << c << " row " << r;
    EXPECT_EQ(camera->GetMatrixInverse(), glm::mat4(1.0f));

    // A slot that never belonged to an object has no transform to read.
    EXPECT_EQ(CameraComponent().GetMatrix(), glm::mat4(1.0f));

    // SetActive chooses one; each attach starts inactive with one listener.
    const std::size_t before = Listeners();
    CameraComponent* a = camera;
    CameraComponent* b = Camera({});
    CameraComponent* c = Camera({});
    EXPECT_EQ(Listeners(), before + 2);
    EXPECT_FALSE(a->IsActive());
    a->active = c->active = true;
    b->SetActive(true);
    EXPECT_FALSE(a->IsActive() || c->IsActive());
    EXPECT_TRUE(b->IsActive());
    c->active = true;
    b->SetActive(false);
    EXPECT_FALSE(b->IsActive());
    EXPECT_TRUE(c->IsActive()) << "switching one off leaves the others alone";

    ObjectManager::AddComponent<CameraComponent>(c->owner); // attached again
    EXPECT_FALSE(c->IsActive());
    EXPECT_EQ(Listeners(), before + 2);
    ObjectManager::RemoveComponent<CameraComponent>(c->owner);
    ObjectManager::RemoveComponent<CameraComponent>(c->owner); // detached: harmless
    EXPECT_EQ(Listeners(), before + 1);
    om.DeleteObject(c->owner);
    om.Update();
}
