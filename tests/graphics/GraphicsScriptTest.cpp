// The graphics system, transforms, cameras and voxels as scripts reach them.

#include <string>

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
        VoxelModel model;
        model.voxels.resize(2);
        model.voxels[1].position = {3, 0, 0, 1};
        ASSERT_TRUE(model.SaveToFile(Path("two.vxm")));
        Eval("var g = Core.Instance().GraphicsSystem_; var om = Core.Instance().objectManager;"
             "var dir = '" +
             folder.path.string() + "/';");
    }
    std::string Path(const std::string& name) const { return (folder.path / name).string(); }

    GraphicsSystem& graphics = *Core::Instance().GraphicsSystem_;
    TempFolder folder;
    SaveFolderScope writable{folder.path};
};

} // namespace

// None of this needs GL: the system here was never initialized.
TEST_F(GraphicsScript, CachesMouseRaysVideoSizesAndComponentValues) {
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

    // Before any frame both matrices are the identity, so the near and far points of a pixel
    // are its normalized coordinates at depth -1 and 1; the top-left pixel is (-1, 1).
    EXPECT_EQ(Eval("var r = g.GetMouseClickRay([0.9, 0.9]);"
                   "JSON.stringify([r.startPoint, r.endPoint])"),
              "[[-1,1,-1],[-1,1,1]]");

    // A size of 0 from a script (or a minimized window) would make the aspect ratio, the
    // projection and every picking ray NaN: it is ignored.
    Eval("Core.BroadcastMessage(VideoSizeChangeMessage.Create(0, 0));"
         "Core.BroadcastMessage(VideoSizeChangeMessage.Create(640, 0));");
    graphics.Update(0.0f);
    EXPECT_EQ(glm::uvec2(graphics.viewportWidth, graphics.viewportHeight), glm::uvec2(1280, 800));
    EXPECT_EQ(Eval("var r = g.GetMouseClickRay([10, 10]);"
                   "[].concat.apply([], g.GetProjectionMatrix())"
                   ".concat(r.startPoint, r.endPoint).every(isFinite)"),
              "true");
    Eval("Core.BroadcastMessage(VideoSizeChangeMessage.Create(640, 480))");
    EXPECT_EQ(glm::uvec2(graphics.viewportWidth, graphics.viewportHeight), glm::uvec2(640, 480));

    // Script values reach the components; wrong types clear a reference rather than fail.
    sf::Image image;
    image.create(8, 4, sf::Color::White);
    ASSERT_TRUE(image.saveToFile(Path("hud.png")));
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
             "mc.model = g.GetModel(dir + 'two.vxm'); mc.originOffset = [1, 1, 1];"
             "[first, mc.model instanceof Object, JSON.stringify(mc.GetHalfExtents())].join()"),
        ",true,[2,0.5,0.5]");
    VoxelModelComponent* shown = ObjectManager::GetComponent<VoxelModelComponent>(obj);
    EXPECT_EQ(shown->model, graphics.GetModel(Path("two.vxm")));
    EXPECT_EQ(Eval("mc.model = 5; var a = mc.model; mc.model = g; [a, mc.model].join()"), ",");
    EXPECT_EQ(shown->model, nullptr);

    EXPECT_EQ(Eval("var s = ObjectManager.AddSpriteComponent(o);"
                   "s.texture = g.GetTexture(dir + 'hud.png'); s.z = -1; s.scale = [2, 3];"
                   "JSON.stringify([s.texture.GetWidth(), s.z, s.GetHalfExtents()])"),
              "[8,4294967295,[8,6]]");
    EXPECT_EQ(ObjectManager::GetComponent<SpriteComponent>(obj)->texture,
              graphics.GetTexture(Path("hud.png")));
    EXPECT_EQ(Eval("s.texture = om; JSON.stringify([s.texture, s.GetHalfExtents()])"),
              "[null,[0,0]]");
    EXPECT_NE(
        ErrorOf("ObjectManager.AddDrawTextComponent(o).SetNewFont('a\\0b')").find("SetNewFont"),
        std::string::npos);
}
