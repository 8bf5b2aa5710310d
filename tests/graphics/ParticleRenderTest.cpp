// Particle bursts as a script makes them: drawn among the voxels, moved by the frame's
// time, stopped by the ground plane and gone when their life is over.

#include <algorithm>
#include <string>
#include <vector>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"

namespace {

class Particles : public ScriptedGraphicsTest {
  protected:
    void SetUp() override {
        ScriptedGraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        core.PhysicsSystem_->makeGroundPlane = true;
        core.PhysicsSystem_->Initialize();
        Initialize();
        const GameObject camera = Object({0, 1, 4});
        ObjectManager::AddComponent<CameraComponent>(camera)->active = true;
        ObjectManager::GetComponent<TransformComponent>(camera)->LookAt({0, 1, 0}, {0, 1, 0});
        Eval("var g = Core.Instance().GraphicsSystem_;");
    }

    // Where the frame shows pure red (the bursts' colour), after `seconds` more.
    PixelBounds RedAfter(float seconds) {
        graphics.Update(seconds);
        const std::vector<glm::u8vec4> pixels = Pixels();
        const int width = kWidth, height = kHeight;
        int left = width, right = -1, bottom = height, top = -1;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const glm::u8vec4 p = pixels[static_cast<std::size_t>(y) * kWidth + x];
                if (p.r < 60 || p.g > 20 || p.b > 20)
                    continue;
                left = std::min(left, x), right = std::max(right, x);
                bottom = std::min(bottom, y), top = std::max(top, y);
            }
        return right < 0 ? PixelBounds()
                         : PixelBounds(left, bottom, right - left + 1, top - bottom + 1);
    }
    int GroundRow() {
        const glm::vec4 clip =
            graphics.GetProjectionMatrix() * graphics.GetCameraMatrix() * glm::vec4(0, 0, 0, 1);
        return static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * kHeight);
    }
};

} // namespace

TEST_F(Particles, BurstsFallLandAndGoWhenTheirLifeIsOverUnderTheCap) {
    EXPECT_EQ(Eval("[g.particleCount, g.EmitParticles({position: [0, 2, 0], count: 300,"
                   " color: [1, 0, 0, 1], speed: 1, spread: 180, lifetime: 1.5, size: 0.08,"
                   " bounce: 0}), g.particleCount].join()"),
              "0,300,300");
    EXPECT_EQ(Eval("g.particleCount = 5; g.particleCount"), "300") << "read-only";

    // It appears round where it was made, then falls: its top sinks frame by frame.
    const PixelBounds start = RedAfter(0.02f);
    ASSERT_GT(start.width, 0) << "the burst is drawn";
    EXPECT_LT(start.width, 10);
    const PixelBounds falling = RedAfter(0.25f);
    const PixelBounds lower = RedAfter(0.25f);
    EXPECT_LT(falling.y + falling.height, start.y + start.height);
    EXPECT_LT(lower.y + lower.height + 10, falling.y + falling.height);

    // With no bounce each one stays where it lands, on the ground plane, not through it.
    const PixelBounds landed = RedAfter(0.5f);
    EXPECT_EQ(RedAfter(0.3f), landed) << "nothing moves once landed";
    // The nearest ones show lowest: up to 0.75 m nearer than the origin, about 8 pixels.
    EXPECT_GE(landed.y, GroundRow() - 10);
    EXPECT_LE(landed.y, GroundRow() + 2);
    EXPECT_EQ(Eval("g.particleCount"), "300");

    // Past its lifetime the burst is gone, and so are its pixels.
    EXPECT_EQ(RedAfter(0.2f), PixelBounds());
    EXPECT_EQ(Eval("g.particleCount"), "0");

    // A bouncing particle, dropped from 2 m, turns back up off the ground; a faded one is
    // dimmer by the end of its life.
    Eval("g.EmitParticles({position: [0, 2, 0], count: 1, color: [1, 0, 0, 1], speed: 0,"
         " lifetime: 2, size: 0.2, bounce: 0.8})");
    std::vector<int> heights;
    for (int i = 0; i < 20; ++i)
        heights.push_back(RedAfter(0.05f).y);
    const auto lowest = std::min_element(heights.begin(), heights.end());
    EXPECT_LT(*lowest + 30, heights.front()) << "it falls";
    EXPECT_GT(heights.back(), *lowest + 15) << "and rises again";
    Eval("g.EmitParticles({position: [0.5, 1, 0], count: 1, color: [1, 0, 0, 1], speed: 0,"
         " gravity: [0, 0, 0], lifetime: 1, size: 0.3, fade: true})");
    const glm::vec4 clip =
        graphics.GetProjectionMatrix() * graphics.GetCameraMatrix() * glm::vec4(0.5f, 1, 0.15f, 1);
    const glm::ivec2 faded(static_cast<int>((clip.x / clip.w * 0.5f + 0.5f) * kWidth),
                           static_cast<int>((clip.y / clip.w * 0.5f + 0.5f) * kHeight));
    graphics.Update(0.1f);
    const int early = Pixel(faded.x, faded.y).r;
    graphics.Update(0.7f);
    EXPECT_LT(Pixel(faded.x, faded.y).r * 2, early);

    // A state switch clears the objects, and the particles with them.
    om.ClearAllObjects();
    EXPECT_EQ(Eval("[g.particleCount, g.EmitParticles({}),"
                   " g.EmitParticles({count: undefined, gravity: null})].join()"),
              "0,20,20")
        << "options left out or undefined keep their defaults";

    // The cap: a burst that does not fit is cut short with one warning, and the next ones
    // within a second add to the count silently.
    testing::internal::CaptureStderr();
    EXPECT_EQ(Eval("[g.EmitParticles({count: 30000, lifetime: 5}),"
                   " g.EmitParticles({count: 30000, lifetime: 5}),"
                   " g.EmitParticles({count: 10, lifetime: 5}), g.particleCount].join()"),
              "30000,19960,0,50000");
    graphics.Update(0.5f);
    Eval("g.EmitParticles({count: 5})");
    graphics.Update(0.6f);
    EXPECT_EQ(Eval("g.EmitParticles({count: 100})"), "40") << "room left by the 40 of 1 s";
    const std::string warnings = testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(warnings, "GraphicsSystem.EmitParticles:"), 2u) << warnings;
    EXPECT_NE(warnings.find("10040 particles not emitted: 50000 are alive"), std::string::npos)
        << warnings;
    EXPECT_NE(warnings.find("75 particles not emitted"), std::string::npos) << warnings;
}
