// A voxel model drawn larger than one world unit per voxel: what is drawn, picked and
// reported grows about the object's position.

#include <string>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "inspector/ObjectBounds.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

class ScaledVoxelModel : public GraphicsTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        GraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        ASSERT_TRUE(host().Initialize());
    }
    // Draws only `shown` ("small" or "big") and returns what it covers.
    PixelBounds Show(const std::string& shown) {
        Run("small.visible = " + std::string(shown == "small" ? "true" : "false") +
            "; big.visible = !small.visible;");
        Frame();
        return Drawn();
    }
    static void Run(const std::string& source) { EXPECT_EQ(ErrorOf(source), "") << source; }
};

void ExpectSame(const PixelBounds& a, const PixelBounds& b, const char* what) {
    EXPECT_NEAR(a.x, b.x, 1) << what << a << b;
    EXPECT_NEAR(a.y, b.y, 1) << what << a << b;
    EXPECT_NEAR(a.width, b.width, 1) << what << a << b;
    EXPECT_NEAR(a.height, b.height, 1) << what << a << b;
}

} // namespace

TEST_F(ScaledVoxelModel, ThreeVoxelsAtScaleThreeCoverWhatTwentySevenTimesAsManyDo) {
    Initialize();
    ObjectManager::AddComponent<CameraComponent>(Object({0.5f, 0.25f, 30}))->active = true;
    // A row of three voxels centred by its offset, and the box of 9 x 3 x 3 unit voxels
    // it must cover at scale 3.
    Run("var om = Core.Instance().objectManager, row = new VoxelModel(), box = new VoxelModel();"
        "for (var x = 0; x < 3; ++x) row.AddVoxel([x, 0, 0], [1, 1, 1, 1]);"
        "for (var x = -4; x <= 4; ++x) for (var y = -1; y <= 1; ++y)"
        "  for (var z = -1; z <= 1; ++z) box.AddVoxel([x, y, z], [1, 1, 1, 1]);"
        "var objs = []; function Show(m) { var o = om.NewObject(); objs.push(o);"
        "  ObjectManager.AddTransformComponent(o).position = [2, 1, 0];"
        "  var c = ObjectManager.AddVoxelModelComponent(o); c.model = m; c.alpha = 1;"
        "  return c; }"
        "var small = Show(row), big = Show(box); small.originOffset = [-1, 0, 0];");
    const PixelBounds unscaled = Show("small");
    EXPECT_EQ(Eval("JSON.stringify(small.GetHalfExtents())"), "[1.5,0.5,0.5]");

    Run("small.voxelScale = 3;");
    EXPECT_EQ(Eval("JSON.stringify(small.GetHalfExtents())"), "[4.5,1.5,1.5]");
    const PixelBounds big = Show("big");
    for (const bool plain : {false, true}) {
        graphics.plainVoxels = plain; // both voxel shaders
        ExpectSame(Show("small"), big, plain ? "instanced cubes" : "camera-side faces");
    }
    EXPECT_GT(big.width, 2 * unscaled.width);

    // Turned with the object, scale and rotation together; the offset is not turned.
    Run("small.originOffset = [0, -1, 0]; [small, big].forEach(function (c, i) { c.oriented = true;"
        "  ObjectManager.TransformComponent(objs[i]).orientation = [0, 0, Math.SQRT1_2, "
        "Math.SQRT1_2]; });");
    const PixelBounds turned = Show("big");
    EXPECT_GT(turned.height, turned.width);
    ExpectSame(Show("small"), turned, "oriented");

    // The inspector picks the scaled extent: a ray through the right end of the row
    // misses it at scale 1.
    const int column = turned.x + turned.width / 2, row = kHeight - (turned.y + turned.height - 3);
    const MouseRay ray = graphics.GetMouseClickRay(column, row);
    const GameObject picked = PickObject(ray);
    ASSERT_TRUE(ObjectManager::IsValid(picked));
    EXPECT_EQ(ObjectManager::GetComponent<VoxelModelComponent>(picked)->model->voxels.size(), 3u)
        << "the row, not the hidden box";
    Run("small.voxelScale = 1;");
    EXPECT_FALSE(ObjectManager::IsValid(PickObject(ray)));

    // Sizes that cannot be drawn are script errors that keep the scale.
    Run("small.voxelScale = 0.5;");
    for (const char* bad : {"0", "-2", "NaN", "Infinity"})
        EXPECT_NE(ErrorOf(std::string("small.voxelScale = ") + bad).find("must be a finite"),
                  std::string::npos)
            << bad;
    EXPECT_EQ(Eval("small.voxelScale"), "0.5");
    // A new attach starts at unit size.
    Run("ObjectManager.RemoveVoxelModelComponent(objs[0]);"
        "small = ObjectManager.AddVoxelModelComponent(objs[0]);");
    EXPECT_EQ(Eval("small.voxelScale"), "1");
}
