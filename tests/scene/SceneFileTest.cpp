// Scene files through scripts: a round trip of every component type, names
// and references, behaviours and prefabs, and files that are not scenes.

#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsSystem.h"
#include "scene/Scene.h"
#include "script/ScriptTestSupport.h"

namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class SceneFile : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        Core::Instance().PhysicsSystem_->Initialize();
        objects().ClearAllObjects();
        fs::create_directories(folder.path / "Levels");
        ASSERT_EQ(Eval("var core = Core.Instance(), om = core.objectManager,"
                       " g = core.GraphicsSystem_; 'ok'"),
                  "ok");
    }
    void TearDown() override { objects().ClearAllObjects(); }
    static ObjectManager& objects() { return *Core::Instance().objectManager; }
    std::size_t Live() const { return objects().GetLiveObjects().size(); }
    void WriteFile(const std::string& name, const std::string& text) const {
        std::ofstream(folder.path / name, std::ios::binary) << text;
    }

    TempFolder folder;
    const SaveFolderScope saves{folder.path};
};

// Every component type with values other than its defaults, two named objects
// referring to each other through their data: saved, cleared, loaded and saved
// again gives the same bytes, and scripts read every value back.
TEST_F(SceneFile, EveryComponentRoundTripsByteForByteWithReferencesAndNames) {
    ASSERT_EQ(Eval(R"(
        var a = om.NewObject(), b = om.NewObject(), c = om.NewObject();
        var t = ObjectManager.AddTransformComponent(a);
        t.position = [1.5, -2, 0.1]; t.scale = [2, 3, 4]; t.orientation = [0, 0.6, 0, 0.8];
        ObjectManager.AddExampleComponent(a);
        var vm = ObjectManager.AddVoxelModelComponent(a);
        vm.model = g.GetModel('../resource/Models/ball.vxm'); vm.visible = false;
        vm.oriented = true; vm.alpha = 0.3; vm.originOffset = [1, 2, 3]; vm.voxelScale = 0.5;
        ObjectManager.AddVoxelComponent(a).color = [0.1, 0.2, 0.3, 0.4];
        var s = ObjectManager.AddSpriteComponent(a);
        s.texture = g.GetTexture('../resource/Textures/gem.png'); s.alpha = 0.7; s.angle = 1.25;
        s.z = 3; s.visible = false; s.scale = [4, 5]; s.color = [1, 0, 0.5, 1]; s.anchor = 'top-left';
        var body = ObjectManager.AddBodyComponent(a);
        body.initialMass = 2; body.shape = Shape.CapsuleShape(0.5, 2); body.collisionType = 4;
        body.collidesWith = 5; body.isTrigger = true; body.allowSleep = false;
        body.initialFriction = 0.25; body.initialVelocity = [0, 1e-7, 3e30];
        ObjectManager.AddFrameUpdateComponent(a);
        ObjectManager.AddCameraComponent(a).active = true;
        var su = ObjectManager.AddScriptUpdateComponent(a);
        su.active = false; su.updateFunction = function () {};
        su.data = {hp: 3, partner: b, outside: null, list: [1, 'x\u00e9\u4e2d', true, null],
                   nested: {q: 0.1, f: function () {}}};
        ObjectManager.AddMessageDistributorComponent(a).active = false;
        var dt = ObjectManager.AddDrawTextComponent(a);
        dt.text = 'Caf\u00e9 "quoted"'; dt.fontSize = 20; dt.color = [0, 1, 0, 1]; dt.align = 'center';
        var cb = ObjectManager.AddClickBoxComponent(a); cb.extents = [3, 4]; cb.anchor = 'bottom';
        ObjectManager.AddClickableComponent(a);
        var bb = ObjectManager.AddBillboardComponent(a);
        bb.texture = g.GetTexture('../resource/Textures/glow.png'); bb.alpha = 0.5; bb.scale = [1, 2];
        var pf = ObjectManager.AddPathfindingComponent(a);
        pf.gridWidth = 8; pf.gridHeight = 6; pf.gridUnitLength = 2;
        var ob = ObjectManager.AddObstacleComponent(a);
        ob.halfExtents = [1, 2]; ob.wallThreshold = 0.5; ob.isInterestObject = true;
        var gd = ObjectManager.AddGeneralDataComponent(a);
        gd.accTime = 1.5; gd.owningStoreIndex = 4000000000; gd.interruptAI = true;
        gd.data = {partner: c};
        ObjectManager.AddTransformComponent(b).position = [9, 9, 9];
        ObjectManager.AddGeneralDataComponent(c).data = {back: a};
        var ct = ObjectManager.AddTransformComponent(c); ct.scale = [0, 0, 0]; ct.position = [0, -0, 0];
        Scene.SetName(a, 'hero'); Scene.SetName(c, 'door');
        [a, b, c].forEach(ObjectManager.InitializeObj);
        Scene.Save('../resource/Levels/one.json', [c, a]);
        Scene.Save('../resource/Levels/all.json');
        'ok')"),
              "ok");
    const std::string first = Read(folder.path / "Levels/one.json");
    EXPECT_NE(Read(folder.path / "Levels/all.json").find("\"partner\": {\"$object\": 1},"),
              std::string::npos)
        << "every live object, when none are given";
    EXPECT_NE(first.find("\"format\": \"marrowvale-scene\",\n  \"version\": 1,"),
              std::string::npos);
    EXPECT_NE(first.find("\"model\": \"Models/ball.vxm\""), std::string::npos);
    EXPECT_NE(first.find("\"alpha\": 0.3,"), std::string::npos) << "shortest float text";
    EXPECT_NE(first.find("\"shape\": {\n"), std::string::npos);
    EXPECT_NE(first.find("\"position\": [0, -0.0, 0]\n        },"), std::string::npos)
        << "values at their default are left out, -0 is not 0";
    EXPECT_EQ(first.find("updateFunction"), std::string::npos) << "callbacks are not data";
    EXPECT_EQ(first.find("\"f\""), std::string::npos);

    // Loaded into a world that has other objects: new ids, references mapped,
    // and a reused id's slot keeps nothing of its last owner.
    objects().ClearAllObjects();
    ASSERT_EQ(Eval(R"(
        var old0 = om.NewObject(), old1 = om.NewObject(), stale = om.NewObject();
        ObjectManager.AddObstacleComponent(stale).wallThreshold = 0.9;
        ObjectManager.AddDrawTextComponent(stale).align = 'right';
        om.DeleteObject(stale); 'ok')"),
              "ok");
    objects().DelayedDestruction();
    ASSERT_EQ(Eval(R"(
        var got = Scene.Load('../resource/Levels/one.json');
        var a = got[0], c = got[1], same = ObjectManager.CompareObj;
        var su = ObjectManager.ScriptUpdateComponent(a);
        [got.length, !same(a, old0) && !same(c, old1), Scene.GetName(a), same(Scene.Find('door'), c),
         same(ObjectManager.GeneralDataComponent(a).data.partner, c),
         same(ObjectManager.GeneralDataComponent(c).data.back, a),
         su.data.partner, su.data.list.join('/') == '1/x\u00e9\u4e2d/true/', su.data.nested.q,
         su.active, su.updateFunction,
         ObjectManager.TransformComponent(a).position.join(),
         ObjectManager.TransformComponent(a).orientation.map(v => v.toFixed(3)).join(),
         ObjectManager.VoxelModelComponent(a).model.GetVoxelCount() > 0,
         ObjectManager.VoxelModelComponent(a).voxelScale,
         ObjectManager.SpriteComponent(a).texture.GetName(), ObjectManager.SpriteComponent(a).anchor,
         ObjectManager.BodyComponent(a).isTrigger, ObjectManager.BodyComponent(a).IsSleeping(),
         ObjectManager.DrawTextComponent(a).text, ObjectManager.DrawTextComponent(a).align,
         ObjectManager.GeneralDataComponent(a).owningStoreIndex,
         ObjectManager.ObstacleComponent(a).halfExtents.join(),
         ObjectManager.HasClickableComponent(a), ObjectManager.HasBillboardComponent(c),
         ObjectManager.TransformComponent(c).scale.join(), ObjectManager.ObstacleComponent(a).wallThreshold,
         ObjectManager.DrawTextComponent(a).align].join('|'))"),
              "2|true|hero|true|true|true||true|0.1|false||1.5,-2,0.10000000149011612|"
              "0.000,0.600,0.000,0.800|true|0.5|../resource/Textures/gem.png|top-left|true|false|"
              "Caf\xe9 \"quoted\"|center|4000000000|1,2|true|false|0,0,0|0.5|center");
    ASSERT_EQ(Eval("Scene.Save('../resource/Levels/two.json', [Scene.Find('hero'),"
                   " Scene.Find('door')]); 'ok'"),
              "ok");
    EXPECT_EQ(Read(folder.path / "Levels/two.json"), first);
}

// A behaviour runs once when attached and once per load, after every object
// of the file exists; a prefab spawned twice makes two groups of its own.
TEST_F(SceneFile, BehavioursRunOncePerLoadAndPrefabsSpawnApart) {
    WriteFile("Levels/door.mjs", R"(
        export default function (obj, data) {
            globalThis.runs = (globalThis.runs || []);
            runs.push(Scene.GetName(obj) + ':' + data.n + ':' + (Scene.Find('key') !== null));
        })");
    ASSERT_EQ(Eval(R"(
        var door = om.NewObject(), key = om.NewObject();
        ObjectManager.AddTransformComponent(door).position = [1, 0, 0];
        ObjectManager.AddTransformComponent(key).position = [0, 0, 2];
        Scene.SetName(door, 'door'); Scene.SetName(key, 'key');
        Scene.Attach(door, './Levels/door.mjs', {n: 7});
        Scene.Save('../resource/Levels/crate.json', [door, key]);
        runs.join())"),
              "door:7:true");
    const std::string saved = Read(folder.path / "Levels/crate.json");
    EXPECT_NE(saved.find("\"module\": \"./door.mjs\""), std::string::npos) << saved;

    objects().ClearAllObjects();
    ASSERT_EQ(Eval(R"(runs = [];
        var one = Scene.Spawn('../resource/Levels/crate.json', [10, 0, 0]);
        var two = Scene.Spawn('../resource/Levels/crate.json', [0, 5, 0], [0, 0.7071068, 0, 0.7071068]);
        [runs.join(), one.length + two.length, ObjectManager.CompareObj(one[0], two[0]),
         ObjectManager.TransformComponent(one[0]).position.join(),
         ObjectManager.TransformComponent(two[1]).position.map(Math.round).join()].join('|'))"),
              "door:7:true,door:7:true|4|false|11,0,0|2,5,0");
    EXPECT_EQ(Live(), 4u);
    for (const GameObject& obj : objects().GetLiveObjects())
        EXPECT_EQ(Scene::Instance().GetSourceFile(obj), "../resource/Levels/crate.json");
    // A behaviour that cannot be imported stops the call with an error naming it.
    EXPECT_NE(ErrorOf("Scene.Attach(om.NewObject(), './Levels/none.mjs')").find("none.mjs"),
              std::string::npos);
    EXPECT_NE(ErrorOf("Scene.Attach(om.NewObject(), '../../etc/x.mjs')").find("outside"),
              std::string::npos);
}

// Files that are not valid scenes: each is one error naming the file, the
// object and the property, and makes nothing.
TEST_F(SceneFile, BrokenFilesMakeNothingAndNameTheirFault) {
    const std::string head = R"({"format": "marrowvale-scene", "version": 1, "objects": )";
    const std::string good = R"({"components": {"TransformComponent": {"position": [1, 2, 3]}}})";
    auto file = [&](const std::string& broken) { return head + "[" + good + ", " + broken + "]}"; };
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", "Levels/none.json: "},
        {"{", "not JSON"},
        {std::string(100, '[') + std::string(100, ']'), "nesting deeper than 48"},
        {"[]", "at /: a scene file is a JSON object"},
        {R"({"format": "other", "version": 1, "objects": []})", "at /format"},
        {R"({"format": "marrowvale-scene", "version": 2, "objects": []})", "version 2 is newer"},
        {R"({"format": "marrowvale-scene", "version": 1, "objects": [], "x": 1})",
         "at /x: unknown key"},
        {file("3"), "object 1 at /objects/1: an object is a JSON object"},
        {file(R"({"components": {"NoComponent": {}}})"),
         "/objects/1/components/NoComponent: unknown component"},
        {file(R"({"components": {"TransformComponent": {"size": 1}}})"),
         "TransformComponent/size: unknown property"},
        {file(R"({"components": {"TransformComponent": {"position": [1, "2", 3]}}})"),
         "object 1 at /objects/1/components/TransformComponent/position: must be an array of 3 "
         "numbers"},
        {file(R"({"components": {"TransformComponent": {"position": [1, 2]}}})"),
         "array of 3 numbers"},
        {file(R"({"components": {"BodyComponent": {"collisionType": 70000}}})"),
         "70000 is out of range"},
        {file(R"({"components": {"BodyComponent": {"collisionType": 1.5}}})"),
         "out of range of the whole numbers"},
        {file(R"({"components": {"SpriteComponent": {"alpha": 1e39}}})"), "out of range"},
        {file(R"({"components": {"SpriteComponent": {"visible": 1}}})"), "must be true or false"},
        {file(R"({"components": {"DrawTextComponent": {"text": "\u4e2d"}}})"),
         "characters up to U+00FF"},
        {file(R"({"components": {"DrawTextComponent": {"align": "middle"}}})"),
         "\"middle\" is not a value"},
        {file(R"({"components": {"SpriteComponent": {"texture": "Textures/none.png"}}})"),
         "missing file Textures/none.png"},
        {file(R"({"components": {"SpriteComponent": {"texture": "../../etc/passwd"}}})"),
         "inside the game's folder"},
        {file(R"({"components": {"BodyComponent": {"shape": {"kind": "box", "radius": 1}}}})"),
         "a box shape has no \"radius\""},
        {file(R"({"components": {"BodyComponent": {"shape": {"kind": "sphere", "radius": -1}}}})"),
         "\"radius\" must be a number >= 0"},
        {file(R"({"components": {"GeneralDataComponent": {"data": {"a": {"$object": 2}}}}})"),
         "/data/a/$object: must be the index"},
        {file(R"({"name": 5})"), "/objects/1/name"},
        {file(R"({"behaviours": [{"module": "./nothing.mjs"}]})"), "missing module"},
        {file(R"({"behaviours": [{"module": "../../x.mjs"}]})"), "inside the game's folder"},
        {file(R"({"extra": 1})"), "/objects/1/extra: unknown key"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const auto& [text, expected] = cases[i];
        if (i > 0)
            WriteFile("Levels/broken.json", text);
        const std::string name = i > 0 ? "broken.json" : "none.json";
        const std::string error = ErrorOf("Scene.Load('../resource/Levels/" + name + "')");
        EXPECT_NE(error.find("Error in Scene.Load: ../resource/Levels/" + name), std::string::npos)
            << i << ": " << error;
        EXPECT_NE(error.find(expected), std::string::npos) << i << ": " << error;
        EXPECT_EQ(Live(), 0u) << i;
    }
    WriteFile("Levels/broken.json", file(R"({"name": "fine"})"));
    EXPECT_EQ(Eval("Scene.Load('../resource/Levels/broken.json').length"), "2");
}

} // namespace
