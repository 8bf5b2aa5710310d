// The graphics system, transforms, cameras and voxels as scripts reach them.

#include <filesystem>
#include <string>

#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/SpriteComponent.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

class GraphicsScript : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        std::filesystem::create_directories(dir);
        VoxelModel model;
        model.voxels.resize(2);
        model.voxels[1].position = {3, 0, 0, 1};
        ASSERT_TRUE(model.SaveToFile(Path("two.vxm")));
        Eval("var g = Core.Instance().GraphicsSystem_; var om = Core.Instance().objectManager;"
             "var dir = '" +
             dir.string() + "/';");
    }
    void TearDown() override { std::filesystem::remove_all(dir); }

    std::string Path(const std::string& name) const { return (dir / name).string(); }

    GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
    const std::filesystem::path dir = std::filesystem::temp_directory_path() /
                                      ("marrowvale-gscript-" + std::to_string(::getpid()));
};

} // namespace

// The caches need no GL: the system here was never initialized.
TEST_F(GraphicsScript, ModelsLoadOnceFailuresStayCachedAndWrappersAreNew) {
    EXPECT_EQ(Eval("var m = g.GetModel(dir + 'two.vxm');"
                   "m.RandomizeSaturation([1, 0, 0], 255, 255); m === g.GetModel(dir + 'two.vxm')"),
              "false");
    // The script's edit is in the cached model, which a second request did not reload.
    const VoxelModel* cached = graphics.GetModel(Path("two.vxm"));
    ASSERT_EQ(cached->voxels.size(), 2u);
    EXPECT_EQ(cached->voxels[1].color, glm::vec4(1, 0, 0, 1));

    const VoxelModel* failed = graphics.GetModel(Path("copy.vxm")); // not written yet
    EXPECT_EQ(Eval("m.SaveToFile(dir + 'copy.vxm'); [m.LoadFromFile(dir + 'copy.vxm'),"
                   " m.LoadFromFile(dir + 'missing.vxm')].join()"),
              "true,false");
    EXPECT_EQ(graphics.GetModel(Path("copy.vxm")), failed);
    EXPECT_TRUE(failed->voxels.empty()) << "a failed load is not retried";

    EXPECT_EQ(Eval("var t = g.GetTexture(dir + 'none.png');"
                   "[t.GetWidth(), t.GetHeight(), t.GetName() === dir + 'none.png'].join()"),
              "0,0,true");
}

TEST_F(GraphicsScript, MouseClickRayKeepsItsPointsAndAVideoSizeOfZeroIsIgnored) {
    // Before any frame both matrices are the identity, so the near and far points of a pixel
    // are its normalized coordinates at depth -1 and 1; the top-left pixel is (-1, 1).
    EXPECT_EQ(Eval("var r = g.GetMouseClickRay([0.9, 0.9]);"
                   "JSON.stringify([r.startPoint, r.endPoint])"),
              "[[-1,1,-1],[-1,1,1]]");
    EXPECT_EQ(Eval("JSON.stringify(g.GetMouseClickRay([640, 400]).endPoint)"), "[0,0,1]");
    EXPECT_EQ(Eval("r.startPoint = [1, 2, 3]; JSON.stringify(r.startPoint)"), "[1,2,3]");
    EXPECT_EQ(Eval("g.GetMouseClickRay(1, 2) === undefined"), "true");
    EXPECT_NE(ErrorOf("MouseClickRay.startPoint").find("JSGet_startPoint"), std::string::npos);

    // A size of 0 from a script (or a minimized window) would make the aspect ratio, the
    // projection and every picking ray NaN: it is ignored.
    Eval("Core.BroadcastMessage(VideoSizeChangeMessage.Create(0, 0));"
         "Core.BroadcastMessage(VideoSizeChangeMessage.Create(640, 0));");
    graphics.Update(0.0f);
    EXPECT_EQ(graphics.viewportWidth, 1280u);
    EXPECT_EQ(graphics.viewportHeight, 800u);
    EXPECT_EQ(Eval("var r = g.GetMouseClickRay([10, 10]);"
                   "[].concat.apply([], g.GetProjectionMatrix())"
                   ".concat(r.startPoint, r.endPoint).every(isFinite)"),
              "true");
    Eval("Core.BroadcastMessage(VideoSizeChangeMessage.Create(640, 480))");
    EXPECT_EQ(graphics.viewportWidth, 640u);
    EXPECT_EQ(graphics.viewportHeight, 480u);
}

TEST_F(GraphicsScript, ComponentsReadAndWriteTheirFields) {
    EXPECT_EQ(Eval("var o = om.NewObject(); var t = ObjectManager.AddTransformComponent(o);"
                   "t.position = [1, 2, 3]; t.orientation = [0, 0, 0.6, 0.8]; t.scale = [4, 5, 6];"
                   "var c = ObjectManager.AddCameraComponent(o);"
                   "var before = c.IsActive(); c.SetActive(true);"
                   "var m = c.GetMatrix();"
                   "[before, c.active, m[3][2], JSON.stringify(c.GetMatrixInverse()[3])].join()"),
              "false,true,-3,[0,0,0,1]");
    const GameObject obj(0, 0);
    EXPECT_EQ(ObjectManager::GetComponent<TransformComponent>(obj)->scale, glm::vec3(4, 5, 6));

    EXPECT_EQ(Eval("var v = ObjectManager.AddVoxelComponent(o); v.color = [0.5, 0.25, 0, 0.3];"
                   "v.RandomizeSaturation(255, 255); JSON.stringify(v.color)"),
              "[1,0.5,0,1]");

    EXPECT_EQ(
        Eval("var mc = ObjectManager.AddVoxelModelComponent(o); var first = mc.model;"
             "mc.model = g.GetModel(dir + 'two.vxm'); mc.alpha = 0.5;"
             "mc.originOffset = [1, 1, 1]; mc.oriented = true;"
             "[first, mc.model instanceof Object, JSON.stringify(mc.GetHalfExtents())].join()"),
        ",true,[2,0.5,0.5]");
    VoxelModelComponent* shown = ObjectManager::GetComponent<VoxelModelComponent>(obj);
    EXPECT_EQ(shown->model, graphics.GetModel(Path("two.vxm")));
    EXPECT_TRUE(shown->alpha == 0.5f && shown->oriented && shown->originOffset == glm::vec3(1));
    // Anything but a model object clears the model rather than failing.
    EXPECT_EQ(Eval("mc.model = 5; var a = mc.model; mc.model = g; [a, mc.model].join()"), ",");
    EXPECT_EQ(shown->model, nullptr);
}

TEST_F(GraphicsScript, SpritesBillboardsAndTextFromScripts) {
    sf::Image image;
    image.create(8, 4, sf::Color::White);
    ASSERT_TRUE(image.saveToFile(Path("hud.png")));
    EXPECT_EQ(Eval("var so = om.NewObject(); var s = ObjectManager.AddSpriteComponent(so);"
                   "var fresh = [s.texture, s.alpha, s.angle, s.z, s.visible, s.scale];"
                   "s.texture = g.GetTexture(dir + 'hud.png'); s.z = -1; s.scale = [2, 3];"
                   "JSON.stringify([fresh, s.texture.GetWidth(), s.z, s.GetHalfExtents()])"),
              "[[null,0,0,0,true,[0,0]],8,4294967295,[8,6]]");
    const SpriteComponent* sprite = ObjectManager::GetComponent<SpriteComponent>(GameObject(0, 0));
    EXPECT_EQ(sprite->texture, graphics.GetTexture(Path("hud.png")));
    // Anything but a Texture clears the texture rather than failing.
    EXPECT_EQ(Eval("s.texture = om; JSON.stringify([s.texture, s.GetHalfExtents()])"),
              "[null,[0,0]]");
    EXPECT_EQ(Eval("var b = ObjectManager.AddBillboardComponent(so); var fb = [b.texture,"
                   " b.alpha, b.visible, b.scale]; b.scale = [1, 2];"
                   "JSON.stringify([fb, b.scale])"),
              "[[null,0,true,[0,0]],[1,2]]");
    EXPECT_EQ(Eval("var t = ObjectManager.AddDrawTextComponent(so);"
                   "JSON.stringify([t.text, t.fontFile, t.fontSize, t.fontDetail, t.color,"
                   " t.visible])"),
              "[\"\",\"\",30,30,[0,0,0,0],true]");
    EXPECT_NE(ErrorOf("t.SetNewFont('a\\0b')").find("SetNewFont"), std::string::npos);
}
