// Step mode, and a body steered by a script, with real keys pressed through the
// X server. Runs alone (see tests/CMakeLists.txt): the keys are the display's,
// not the window's.

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
            std::system("xdotool keyup space keyup w");
    }

    static bool SpaceHeld(bool held) { return KeyHeld(PhysicsSystem::kStepKey, held); }
    static bool KeyHeld(std::uint32_t code, bool held) {
        const WindowSystem& window = *Core::Instance().WindowSystem_;
        for (int i = 0; i < 200; ++i) {
            if (window.IsKeyDown(code) == held)
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

// A player as a newcomer writes one: W and Space set the velocity while held.
// Left alone, the body falls asleep, and the keys must still move it.
using SleepingBodyInput = PhysicsStepMode;

TEST_F(SleepingBodyInput, KeysHeldAfterTheBodyFellAsleepStillMoveAndJumpIt) {
    ASSERT_EQ(ErrorOf(R"(
        var obj = Body([0, 0.5, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        var player = ObjectManager.BodyComponent(obj), keys = core.WindowSystem_, peak = 0;
        function Steer() {
            var v = player.GetVelocity();
            if (keys.IsKeyDown(Code.W))
                player.SetVelocity([v[0], v[1], -4]);
            if (keys.IsKeyDown(Code.Space) && Math.abs(v[1]) < 0.01)
                player.SetVelocity([v[0], 5, v[2]]);
            peak = Math.max(peak, ObjectManager.TransformComponent(obj).position[1]);
        }
    )"),
              "");
    const auto frames = [&](int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(ErrorOf("Steer()"), "");
            physics().Update(PhysicsSystem::kFixedStep);
        }
    };
    frames(300);
    ASSERT_EQ(Eval("player.IsSleeping()"), "true");
    const auto code = static_cast<std::uint32_t>(std::stoul(Eval("Code.W")));

    ASSERT_EQ(std::system("xdotool keydown w"), 0);
    ASSERT_TRUE(KeyHeld(code, true));
    frames(30);
    EXPECT_EQ(Eval("player.IsSleeping() + ' ' + player.GetVelocity()[2].toFixed(0)"), "false -4");
    ASSERT_EQ(std::system("xdotool keyup w"), 0);
    ASSERT_TRUE(KeyHeld(code, false));
    EXPECT_LT(Transform(0).position.z, -1.5f);

    // Asleep again, a jump from the ground peaks where 5 m/s takes it.
    frames(300);
    ASSERT_EQ(Eval("player.IsSleeping()"), "true");
    Eval("peak = 0;");
    ASSERT_EQ(std::system("xdotool keydown space"), 0);
    ASSERT_TRUE(SpaceHeld(true));
    frames(1);
    ASSERT_EQ(std::system("xdotool keyup space"), 0);
    ASSERT_TRUE(SpaceHeld(false));
    frames(90);
    EXPECT_NEAR(std::stof(Eval("peak")), 0.5f + 25.0f / (2.0f * 9.8f), 0.1f);
}

} // namespace
