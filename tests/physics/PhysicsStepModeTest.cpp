// Step mode, with the step key really pressed through the X server. Runs alone (see
// tests/CMakeLists.txt): the keys are the display's, not the window's.

#include <chrono>
#include <cstdlib>
#include <thread>

#include <gtest/gtest.h>

#include "physics/PhysicsTestSupport.h"
#include "window/WindowSystem.h"

namespace {

class PhysicsStepMode : public PhysicsWorldTest {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        PhysicsWorldTest::SetUp();
        Eval("physics.makeGroundPlane = true;");
        physics().Initialize();
        world().setInternalTickCallback(
            [](btDynamicsWorld* w, btScalar) { ++*static_cast<int*>(w->getWorldUserInfo()); },
            &ticks);
    }
    void TearDown() override {
        if (std::getenv("DISPLAY"))
            std::system("xdotool keyup space");
    }

    // Waits until the window system sees the step key in the wanted state.
    static bool SpaceHeld(bool held) {
        const WindowSystem& window = *Core::Instance().WindowSystem_;
        for (int i = 0; i < 200; ++i) {
            if (window.IsKeyDown(PhysicsSystem::kStepKey) == held)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    int ticks = 0;
};

TEST_F(PhysicsStepMode, OneFixedStepPerFrameWithSpaceHeldAndPosesAlwaysWrittenBack) {
    Eval("var ball = Body([0, 10, 0], Shape.SphereShape(0.5), 1, 1, 7);");
    // Normal mode: long frames are cut to ten fixed steps.
    physics().Update(1.0f);
    EXPECT_EQ(ticks, 10);
    const float afterNormal = Body(0).GetBody()->getLinearVelocity().y();
    EXPECT_NEAR(afterNormal, -9.8f * 10.0f / 60.0f, 1e-4f);

    Eval("physics.stepMode = true;");
    ticks = 0;
    // Not held: nothing moves, but a transform moved by hand is put back.
    ASSERT_TRUE(SpaceHeld(false));
    const glm::vec3 resting = Transform(0).position;
    Transform(0).position = {5, 5, 5};
    Frames(3, 0.5f);
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(Transform(0).position, resting);

    // Held: exactly one 1/60 s step per frame, whatever the frame time.
    ASSERT_EQ(std::system("xdotool keydown space"), 0);
    ASSERT_TRUE(SpaceHeld(true));
    Frames(1, 0.5f);
    Frames(1, 0.001f);
    Frames(3, 0.25f);
    EXPECT_EQ(ticks, 5);
    EXPECT_NEAR(Body(0).GetBody()->getLinearVelocity().y(), afterNormal - 9.8f * 5.0f / 60.0f,
                1e-4f);
    EXPECT_LT(Transform(0).position.y, resting.y);

    ASSERT_EQ(std::system("xdotool keyup space"), 0);
    ASSERT_TRUE(SpaceHeld(false));
    const glm::vec3 stopped = Transform(0).position;
    Frames(4, 0.5f);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(Transform(0).position, stopped);

    // Back to normal mode, the world runs on its own again.
    Eval("physics.stepMode = false;");
    Frames(2, PhysicsSystem::kFixedStep);
    EXPECT_GE(ticks, 6);
}

} // namespace
