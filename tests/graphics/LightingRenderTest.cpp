// The lighting settings as scripts set them, and the frames they give.

#include <cmath>
#include <string>
#include <vector>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelComponent.h"

namespace {

class Lighting : public GraphicsTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(host().Initialize());
        Eval("var g = Core.Instance().GraphicsSystem_;");
    }
    void TearDown() override {
        static_cast<LightingSettings&>(graphics) = LightingSettings();
        GraphicsTest::TearDown();
    }

    void Voxel(glm::vec3 position, glm::vec4 color) {
        ObjectManager::AddComponent<VoxelComponent>(Object(position))->color = color;
    }
    void Look(glm::vec3 from, glm::vec3 to) {
        eye->position = from;
        eye->LookAt(to, {0, 1, 0});
        Frame();
    }
    // The pixel showing a world point in the last frame.
    glm::ivec4 PixelOf(glm::vec3 world) {
        const glm::vec4 clip =
            graphics.GetProjectionMatrix() * graphics.GetCameraMatrix() * glm::vec4(world, 1);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return Pixel(static_cast<int>((ndc.x * 0.5f + 0.5f) * kWidth),
                     static_cast<int>((ndc.y * 0.5f + 0.5f) * kHeight));
    }
    static void ExpectNear(glm::ivec4 pixel, glm::vec3 color, int tolerance, const char* what) {
        const glm::ivec3 want(glm::round(color * 255.0f));
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(pixel[c], want[c], tolerance) << what << ", channel " << c;
    }

    TransformComponent* eye = nullptr;
};

} // namespace

TEST_F(Lighting, SettingsShadeFogAndBackTheWorldOnlyWhenOn) {
    Initialize();
    const GameObject camera = Object({0, 2, 3});
    ObjectManager::AddComponent<CameraComponent>(camera)->active = true;
    eye = ObjectManager::GetComponent<TransformComponent>(camera);
    Voxel({0, 0, 0}, {1, 1, 1, 1});
    for (int z = 4; z <= 64; ++z) // a strip five wide, away from the block
        for (int x = -2; x <= 2; ++x)
            Voxel({x + 20.0f, 0, -z}, {0, 1, 0, 1});

    // Off, every setting leaves the frame as an engine that never heard of them draws it,
    // also after a lit frame.
    Look({0, 2, 3}, {0, 0, 0});
    const std::vector<glm::u8vec4> untouched = Pixels();
    EXPECT_EQ(Eval("[g.lighting, g.ambientOcclusion, g.shadows, g.shadowDistance].join()"),
              "false,true,true,60");
    EXPECT_EQ(ErrorOf("g.sunDirection = [0, 1, -1]; g.sunColor = [0.6, 0.6, 0.6];"
                      "g.skyAmbient = [0.2, 0.2, 0.2]; g.groundAmbient = [0, 0, 0];"
                      "g.fogColor = [1, 0, 1]; g.fogDensity = 0; g.skyTopColor = [0, 0, 1];"
                      "g.skyHorizonColor = [1, 1, 0]; g.ambientOcclusion = false;"
                      "g.shadows = false; g.shadowDistance = 10; g.lighting = true;"),
              "");
    Frame();
    EXPECT_NE(Pixels(), untouched);
    Eval("g.lighting = false");
    Frame();
    EXPECT_EQ(Pixels(), untouched) << "lighting off draws exactly the old frame";

    // Hemisphere ambient plus the sun: the top (up, half towards the sun) against the front
    // (+z, facing away from the sun: ambient only, half sky and half ground).
    Eval("g.lighting = true");
    Frame();
    ExpectNear(PixelOf({0, 0.5f, 0}), glm::vec3(0.2f + 0.6f * std::sqrt(0.5f)), 2, "top");
    ExpectNear(PixelOf({0, 0, 0.5f}), glm::vec3(0.1f), 2, "front");

    // The strip fades to the fog colour with distance; its near end keeps its own.
    Eval("g.fogDensity = 0.04; g.skyAmbient = [1, 1, 1]; g.groundAmbient = [1, 1, 1]");
    Look({20, 3, -2}, {20, 0, -30});
    const glm::ivec4 near = PixelOf({20, 0.5f, -8});
    const glm::ivec4 far = PixelOf({20, 0.5f, -62});
    EXPECT_LT(near.r, 40);
    EXPECT_GT(near.g, 200);
    ExpectNear(far, {1, 0, 1}, 30, "far end of the strip");

    // The sky by the direction each pixel looks: half way up at 30 degrees, the horizon
    // colour at 0 whatever the height, the top colour straight up.
    const glm::vec3 above(0, 100, 0);
    Look(above, above + glm::vec3(0, 0, -1));
    ExpectNear(Pixel(kWidth / 2, kHeight / 2), {1, 1, 0}, 3, "horizon");
    ExpectNear(Pixel(kWidth / 2, kHeight - 1), {0.5f, 0.5f, 0.5f}, 4, "30 degrees up");
    Look(above, above + glm::vec3(0, std::sqrt(3.0f), -1)); // 60 degrees up
    ExpectNear(Pixel(kWidth / 2, kHeight - 1), {0, 0, 1}, 3, "straight up");

    // Values the renderer cannot use are refused and the setting keeps its value.
    const std::vector<std::string> refused = {"sunDirection = [0, 0, 0]",
                                              "sunDirection = [NaN, 1, 0]",
                                              "fogColor = [1, Infinity, 0]",
                                              "skyTopColor = [0, 0, NaN]",
                                              "fogDensity = -1",
                                              "shadowDistance = -5",
                                              "fogDensity = Infinity",
                                              "groundAmbient = 'dark'"};
    const std::string before = Eval("JSON.stringify([g.sunDirection, g.fogColor, g.skyTopColor,"
                                    " g.fogDensity, g.shadowDistance, g.groundAmbient])");
    for (const std::string& assignment : refused) {
        const std::string error = ErrorOf("g." + assignment);
        EXPECT_NE(error.find("GraphicsSystem." + assignment.substr(0, assignment.find(' '))),
                  std::string::npos)
            << assignment << ": " << error;
    }
    EXPECT_EQ(Eval("JSON.stringify([g.sunDirection, g.fogColor, g.skyTopColor,"
                   " g.fogDensity, g.shadowDistance, g.groundAmbient])"),
              before);
}
