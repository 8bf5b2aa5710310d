// The lighting settings as scripts set them, and the frames they give.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModelComponent.h"

namespace {

class Lighting : public ScriptedGraphicsTest {
  protected:
    void SetUp() override {
        ScriptedGraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
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
    // Where the last frame shows a world point, and the pixel there.
    glm::ivec2 WindowOf(glm::vec3 world) {
        const glm::vec4 clip =
            graphics.GetProjectionMatrix() * graphics.GetCameraMatrix() * glm::vec4(world, 1);
        const glm::vec2 ndc = glm::vec2(clip) / clip.w;
        return {static_cast<int>((ndc.x * 0.5f + 0.5f) * kWidth),
                static_cast<int>((ndc.y * 0.5f + 0.5f) * kHeight)};
    }
    glm::ivec4 PixelOf(glm::vec3 world) {
        const glm::ivec2 at = WindowOf(world);
        return Pixel(at.x, at.y);
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

namespace {

// Whether the segment from + t * along, 0 < t <= 1, meets the unit cube at `centre` grown by
// `grow` on every side.
bool Meets(glm::vec3 from, glm::vec3 along, glm::vec3 centre, float grow) {
    float enter = 1e-4f, leave = 1.0f;
    for (int a = 0; a < 3; ++a) {
        const float low = centre[a] - 0.5f - grow, high = centre[a] + 0.5f + grow;
        if (along[a] == 0.0f) {
            if (from[a] < low || from[a] > high)
                return false;
            continue;
        }
        const float t0 = (low - from[a]) / along[a], t1 = (high - from[a]) / along[a];
        enter = std::max(enter, std::min(t0, t1));
        leave = std::min(leave, std::max(t0, t1));
    }
    return enter <= leave;
}

} // namespace

TEST_F(Lighting, SunShadowsDarkenTheGroundBehindOpaqueVoxelsOnlyWithShadowsOn) {
    Initialize();
    const glm::vec3 from(0, 12, 10);
    const GameObject camera = Object(from);
    ObjectManager::AddComponent<CameraComponent>(camera)->active = true;
    eye = ObjectManager::GetComponent<TransformComponent>(camera);
    for (int z = -7; z <= 5; ++z)
        for (int x = -7; x <= 7; ++x)
            Voxel({x, 0, z}, {0, 1, 0, 1});
    const GameObject floating = Object({0, 3, 0});
    ObjectManager::AddComponent<VoxelComponent>(floating)->color = {1, 0, 0, 1};
    Voxel({-3, 1, 2}, {1, 0, 0, 1});     // standing on the ground: no gap at its foot
    Voxel({-4, 3, -2}, {0, 0, 1, 0.5f}); // see-through: casts nothing
    Look(from, {0, 0, -1});
    const std::vector<glm::u8vec4> untouched = Pixels();

    // The sun from the left at 45 degrees: a lit top gets 0.3 + 0.6 * cos 45 of its colour.
    // Without occlusion, which darkens the ground at the standing block's foot too.
    Eval("g.sunDirection = [-1, 1, 0]; g.sunColor = [0.6, 0.6, 0.6]; g.fogDensity = 0;"
         "g.skyAmbient = [0.3, 0.3, 0.3]; g.groundAmbient = [0.3, 0.3, 0.3];"
         "g.ambientOcclusion = false; g.lighting = true");
    const int litGreen = static_cast<int>(std::lround(255 * (0.3 + 0.6 * std::sqrt(0.5))));

    // Ground points the camera sees, by whether the sun's ray from them meets an opaque
    // block (clearly, or clearly not: the filtered edge is left out). Shadowed ones lose
    // the sun; all others keep exactly the unshadowed frame's colour.
    auto expectShadows = [&](const std::vector<glm::vec3>& casters, const char* when) {
        Eval("g.shadows = false");
        Frame();
        const std::vector<glm::u8vec4> unshadowed = Pixels();
        Eval("g.shadows = true");
        Frame();
        const std::vector<glm::u8vec4> shadowed = Pixels();
        const glm::vec3 sun(-1, 1, 0);
        int lit = 0, dark = 0, wrong = 0;
        for (float z = -6; z <= 4; z += 0.25f)
            for (float x = -6; x <= 6; x += 0.25f) {
                const glm::vec3 p(x, 0.5f, z);
                bool hidden = Meets(p, from - p, {-4, 3, -2}, 0.1f);
                bool inside = false, near = false;
                for (const glm::vec3& c : casters) {
                    hidden = hidden || Meets(p, from - p, c, 0.1f);
                    inside = inside || Meets(p, sun * 10.0f, c, -0.15f);
                    near = near || Meets(p, sun * 10.0f, c, 0.15f);
                }
                if (hidden || (near && !inside))
                    continue;
                const glm::ivec2 at = WindowOf(p);
                const std::size_t i = std::size_t(at.y) * kWidth + at.x;
                const int before = unshadowed[i].g, after = shadowed[i].g;
                const bool ok = std::abs(before - litGreen) <= 2 &&
                                (inside ? before - after > 80 : std::abs(before - after) <= 2);
                (inside ? dark : lit) += 1;
                if (!ok && ++wrong <= 5)
                    ADD_FAILURE() << when << ": ground at " << x << ", " << z << " has green "
                                  << after << " (" << before << " unshadowed)"
                                  << (inside ? ", in shadow" : ", in the sun");
            }
        EXPECT_EQ(wrong, 0) << when;
        EXPECT_GT(dark, 20) << when;
        EXPECT_GT(lit, 500) << when;
    };
    expectShadows({{0, 3, 0}, {-3, 1, 2}}, "lit with shadows");

    // Still frames reuse the map, also when the camera moves by less than a texel; a moved
    // caster redraws it and its shadow moves along.
    const std::uint64_t draws = graphics.ShadowMapDrawCount();
    Look(from + glm::vec3(0.001f, 0, 0), {0, 0, -1});
    Look(from, {0, 0, -1});
    EXPECT_EQ(graphics.ShadowMapDrawCount(), draws);
    ObjectManager::GetComponent<TransformComponent>(floating)->position = {1, 3, -4};
    expectShadows({{1, 3, -4}, {-3, 1, 2}}, "after the block moved");
    EXPECT_EQ(graphics.ShadowMapDrawCount(), draws + 1);
    // A new video mode may bring a new context: the map is made and drawn again.
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));
    expectShadows({{1, 3, -4}, {-3, 1, 2}}, "after a new video mode");

    ObjectManager::GetComponent<TransformComponent>(floating)->position = {0, 3, 0};
    Eval("g.lighting = false");
    Frame();
    EXPECT_EQ(Pixels(), untouched) << "lighting off draws exactly the old frame";
}

TEST_F(Lighting, OcclusionDarkensCreasesSmoothlyAndOnlyWhenOn) {
    Initialize();
    const GameObject camera = Object({0, 6, 4});
    ObjectManager::AddComponent<CameraComponent>(camera)->active = true;
    eye = ObjectManager::GetComponent<TransformComponent>(camera);
    // One model: white ground three deep (the middle layer is enclosed and left out), a
    // wall along its far side, a block standing alone (it touches the ground cell at
    // (3, 0, 2) only across that cell's top corner) and a glass block on the ground. A
    // single voxel comes first in the frame's records.
    Voxel({-5, 1, 5}, {1, 1, 0, 1});
    VoxelModel model;
    for (int x = -6; x <= 6; ++x) {
        for (int z = -6; z <= 6; ++z)
            for (int y = -2; y <= 0; ++y)
                model.AddVoxel({x, y, z}, {1, 1, 1, 1});
        for (int y = 1; y <= 3; ++y)
            model.AddVoxel({x, y, -4}, {1, 0.3f, 0.3f, 1});
    }
    model.AddVoxel({2, 1, 1}, {0.3f, 0.3f, 1, 1});
    model.AddVoxel({-4, 1, 2}, {0.6f, 0.9f, 1, 0.4f});
    ObjectManager::AddComponent<VoxelModelComponent>(Object({}))->model = &model;

    const glm::vec3 nearWall(0, 0.5f, -3.4f), open(0, 0.5f, 0);
    Look({0, 6, 4}, {0, 0, -2});
    const std::vector<glm::u8vec4> untouched = Pixels();

    // Ambient light only, no fog: a white top face shows its occlusion as it is. The sky
    // is a colour no voxel takes, to show through any hole.
    Eval("g.sunColor = [0, 0, 0]; g.skyAmbient = [1, 1, 1]; g.groundAmbient = [1, 1, 1];"
         "g.fogDensity = 0; g.lighting = true; g.ambientOcclusion = false;"
         "g.skyTopColor = [1, 0, 1]; g.skyHorizonColor = [1, 0, 1]");
    const auto skyShows = [](const std::vector<glm::u8vec4>& pixels) {
        std::vector<bool> sky;
        for (const glm::u8vec4& p : pixels)
            sky.push_back(p.r > 200 && p.g < 60 && p.b > 200);
        return sky;
    };
    Frame();
    const glm::ivec4 flat = PixelOf(open);
    EXPECT_EQ(flat.r, 255);
    for (float x = -3; x <= 3; ++x)
        EXPECT_EQ(PixelOf({x, 0.5f, -3.4f}), flat) << "no band with occlusion off, x " << x;
    const std::vector<glm::u8vec4> withoutOcclusion = Pixels();

    // On: a band along the wall's base, darkest against it; open ground keeps its light, and
    // ground beside the glass block is not darkened through it.
    Eval("g.ambientOcclusion = true");
    Frame();
    EXPECT_EQ(PixelOf(open), flat);
    EXPECT_EQ(PixelOf({-3.4f, 0.5f, 2}), flat) << "beside glass";
    for (float x = -3; x <= 3; ++x) {
        EXPECT_LT(PixelOf({x, 0.5f, -3.4f}).r, 200) << "band at x " << x;
        EXPECT_LT(PixelOf({x, 0.5f, -3.4f}).r, PixelOf({x, 0.5f, -2.8f}).r) << "x " << x;
    }
    EXPECT_NE(Pixels(), withoutOcclusion);
    // Faces against an opaque neighbour are left out with occlusion on; none of them was
    // one that shows.
    const std::vector<bool> sky = skyShows(withoutOcclusion);
    EXPECT_EQ(skyShows(Pixels()), sky);
    EXPECT_GT(std::count(sky.begin(), sky.end(), true), 100) << "the sky shows above the wall";
    const std::uint64_t computed = graphics.voxelOcclusion.GetComputeCount();
    Frame();
    EXPECT_EQ(graphics.voxelOcclusion.GetComputeCount(), computed) << "nothing changed";

    // Off, the frame is the one drawn before any setting was touched.
    Eval("g.lighting = false");
    Frame();
    EXPECT_EQ(Pixels(), untouched);
    Eval("g.lighting = true");

    // The top of the ground cell at (3, 0, 2) has one occluded corner, towards the lone
    // block. Across the face the darkening falls off as the product of the distances from
    // the far sides, the same along both diagonals: a face split into two triangles would
    // keep the whole diagonal between the open corners at full light (or darken its middle
    // by half the corner's loss), where the darkening here is a quarter.
    Look({4.5f, 3.5f, 5}, {3, 0.5f, 2});
    const auto loss = [&](float u, float v) { return 255 - PixelOf({2.5f + u, 0.5f, 1.5f + v}).r; };
    const float corner = float(loss(0.1f, 0.1f)) / 0.81f; // the loss at the corner itself
    EXPECT_GT(corner, 40.0f);
    for (const float t : {0.3f, 0.5f, 0.7f, 0.9f}) {
        EXPECT_NEAR(loss(t, t), corner * (1 - t) * (1 - t), 4) << "diagonal at " << t;
        EXPECT_NEAR(loss(t, 1 - t), corner * t * (1 - t), 4) << "other diagonal at " << t;
        EXPECT_NEAR(loss(1 - t, t), corner * t * (1 - t), 4) << "other diagonal at " << 1 - t;
    }

    // A changed model is worked out again.
    model.AddVoxel({4, 1, 1}, {1, 1, 1, 1});
    Frame();
    EXPECT_EQ(graphics.voxelOcclusion.GetComputeCount(), computed + 1);
    EXPECT_GT(loss(0.9f, 0.1f), 30) << "the new block darkens a second corner";

    // Single voxels on the grid darken one another (the model editor's are such): a row
    // of three with a fourth on its end, off the model.
    for (const float x : {8.0f, 9.0f, 10.0f})
        Voxel({x, 1, 0}, {1, 1, 1, 1});
    Voxel({10, 2, 0}, {1, 1, 1, 1});
    Look({9, 4, 3}, {9, 1.5f, 0});
    EXPECT_LT(PixelOf({9.45f, 1.5f, 0}).r + 20, PixelOf({8.55f, 1.5f, 0}).r)
        << "the top beside the fourth is darker than its open end";
}
