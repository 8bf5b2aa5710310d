// Voxel models built by scripts: shown, edited while shown, saved, and kept alive by
// whatever still shows them.

#include <string>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "inspector/ObjectBounds.h"
#include "objects/ComponentFactory.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelTestSupport.h"

namespace {

class ScriptVoxelModel : public ScriptedGraphicsTest {
  protected:
    void SetUp() override {
        ScriptedGraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        Eval("var dir = '" + folder.path.string() + "/';");
    }

    TempFolder folder;
    SaveFolderScope writable{folder.path};
};

} // namespace

TEST_F(ScriptVoxelModel, BuiltShownEditedSavedKeptAliveWhileHeldAndScaledAboutTheirObject) {
    Initialize();
    ObjectManager::AddComponent<CameraComponent>(Object({0, 0, 5}))->active = true;
    const std::size_t before = VoxelModel::GetSharedModelCount();

    // One model, two objects showing it: a red voxel at the centre, the rest to its left.
    EXPECT_EQ(Eval("var m = new VoxelModel(), shown = [];"
                   "m.AddVoxel([0, 0, 0], [1, 0, 0, 1]); m.AddVoxel([-2, 1, 0], [0, 0, 1, 1]);"
                   "function Show(at) {"
                   "  var o = Core.Instance().objectManager.NewObject(); shown.push(o);"
                   "  ObjectManager.AddTransformComponent(o).position = at;"
                   "  var c = ObjectManager.AddVoxelModelComponent(o); c.model = m; return c; }"
                   "var a = Show([0, 0, 0]), b = Show([-3, 0, 0]);"
                   "[m.GetVoxelCount(), JSON.stringify(m.GetVoxel(1)), "
                   " JSON.stringify(a.GetHalfExtents())].join(' ')"),
              "2 {\"position\":[-2,1,0],\"color\":[0,0,1,1]} [1.5,1,0.5]");
    Frame();
    EXPECT_GT(Centre().r, 100);
    const PixelBounds both = Drawn();

    // Edits reach every object showing the model at the next frame, extents included.
    EXPECT_EQ(Eval("m.SetVoxel(0, [0, 0, 0], [0, 1, 0, 1]); m.RemoveVoxel(1);"
                   "[m.GetVoxelCount(), JSON.stringify(b.GetHalfExtents())].join(' ')"),
              "1 [0.5,0.5,0.5]");
    Frame();
    EXPECT_GT(Centre().g, 100);
    EXPECT_EQ(Centre().r, 0);
    EXPECT_LT(Drawn().height, both.height) << "the raised blue voxels are gone";

    // Index errors are script errors that name the call and change nothing; only the
    // class object constructs, and with no arguments.
    for (const char* call : {"m.SetVoxel(1, [0, 0, 0], [1, 1, 1, 1])", "m.RemoveVoxel(-1)",
                             "m.GetVoxel(1)", "new VoxelModel(3)", "new m()"}) {
        const std::string error = ErrorOf(call);
        EXPECT_NE(error.find(call[0] == 'm' ? "out of range; the model has 1" : "Error, "),
                  std::string::npos)
            << call << ": " << error;
    }
    EXPECT_EQ(Eval("m.GetVoxelCount()"), "1");

    // Saved as both formats and read back equal. The .vox file keeps whole positions and
    // byte colours, and this model sits as loaded ones do (x and z centred, lowest layer
    // at y = 0), so it comes back unchanged.
    EXPECT_EQ(
        Eval("m.AddVoxel([1, 2, 1], [0.2, 0.4, 0.6, 1]); m.AddVoxel([-1, 0, 0], [1, 1, 1, 1]);"
             "m.SaveToFile(dir + 'm.vxm'); m.SaveToFile(dir + 'm.VOX');"
             "function Dump(model) { var s = [];"
             "  for (var i = 0; i < model.GetVoxelCount(); ++i)"
             "    s.push(JSON.stringify(model.GetVoxel(i))); return s.join(); }"
             "var x = new VoxelModel(), v = new VoxelModel();"
             "[x.LoadFromFile(dir + 'm.vxm'), v.LoadFromFile(dir + 'm.VOX'),"
             " Dump(x) === Dump(m), Dump(v) === Dump(m), v.GetVoxelCount()].join()"),
        "true,true,true,true,3");
    EXPECT_EQ(VoxelModel::GetSharedModelCount(), before + 3);

    // Nothing in script refers to the model any more; the components still show it.
    Eval("m = x = v = a = b = null;");
    host().CollectGarbage();
    EXPECT_EQ(VoxelModel::GetSharedModelCount(), before + 1);
    Frame();
    EXPECT_GT(Centre().g, 100) << "the model survived the collection";
    ComponentFactory<VoxelModelComponent>::Instance().ForEachAttached(
        [](const VoxelModelComponent& c) { EXPECT_EQ(c.model->GetHolderCount(), 2u); });

    // A wrapper read back from a component holds it too; once the components let go and
    // the wrappers are collected, the model is freed.
    Eval("var back = ObjectManager.VoxelModelComponent(shown[0]).model;"
         "shown.forEach(function (o) { ObjectManager.RemoveVoxelModelComponent(o); });");
    EXPECT_EQ(Eval("back.GetVoxelCount()"), "3");
    Eval("back = null;");
    host().CollectGarbage();
    EXPECT_EQ(VoxelModel::GetSharedModelCount(), before);
    Frame();
    EXPECT_EQ(Drawn().width, 0);

    // A solid block hides its centre voxel from the renderer; moving a neighbour away in
    // place must show the centre at the next frame.
    Eval("var cube = new VoxelModel(), front = 0;"
         "for (var x = -1; x <= 1; ++x) for (var y = -1; y <= 1; ++y) for (var z = -1; z <= 1; "
         "++z) {"
         "  if (x == 0 && y == 0 && z == 1) front = cube.GetVoxelCount();"
         "  cube.AddVoxel([x, y, z], x || y || z ? [0, 1, 0, 1] : [1, 0, 0, 1]); }"
         "Show([0, 0, -2]).model = cube;");
    Frame();
    EXPECT_GT(Centre().g, 100);
    Eval("cube.SetVoxel(front, [8, 8, -1], [0, 1, 0, 1]);");
    Frame();
    EXPECT_GT(Centre().r, 100) << "the uncovered centre voxel is drawn";
    EXPECT_EQ(Centre().g, 0);

    // A model drawn larger, alone in the scene: what is drawn, picked and reported grows
    // about the object's position. Eight voxels at scale three cover what 27 times as many do.
    om.ClearAllObjects();
    ObjectManager::AddComponent<CameraComponent>(Object({0.5f, 0.25f, 30}))->active = true;
    // 2 x 2 x 2 voxels centred by their offset; at scale 3 they cover the 6 x 6 x 6 box.
    VoxelModel pair = Block(2), box = Block(6, glm::vec3(-2.5f));
    VoxelModelComponent* small =
        ObjectManager::AddComponent<VoxelModelComponent>(Object({2, 1, 0}));
    VoxelModelComponent* big = ObjectManager::AddComponent<VoxelModelComponent>(Object({2, 1, 0}));
    small->model = &pair;
    small->originOffset = glm::vec3(-0.5f);
    big->model = &box;
    big->visible = false;
    Frame();
    const PixelBounds unscaled = Drawn();
    small->voxelScale = 3;
    EXPECT_EQ(small->GetHalfExtents(), glm::vec3(3));
    for (const bool plain : {false, true}) { // both voxel shaders
        graphics.plainVoxels = plain;
        Frame();
        const PixelBounds scaled = Drawn();
        std::swap(small->visible, big->visible);
        Frame();
        EXPECT_EQ(scaled, Drawn()) << plain;
        std::swap(small->visible, big->visible);
    }

    // The inspector picks the scaled extent: a ray near its right end misses it at scale 1.
    const MouseRay ray = graphics.GetMouseClickRay(unscaled.x + unscaled.width + 5, kHeight / 2);
    EXPECT_EQ(PickObject(ray).id, small->owner.id);
    small->voxelScale = 1;
    EXPECT_FALSE(ObjectManager::IsValid(PickObject(ray)));

    Eval(
        "var c = ObjectManager.AddVoxelModelComponent(Core.Instance().objectManager.NewObject());");
    EXPECT_NE(ErrorOf("c.voxelScale = -2").find("must be a finite"), std::string::npos);
    EXPECT_EQ(Eval("c.voxelScale"), "1");
}
