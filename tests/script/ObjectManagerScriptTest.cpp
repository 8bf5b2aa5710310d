// Objects and components as scripts reach them through "ObjectManager".

#include <string>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "script/ScriptClass.h"
#include "script/ScriptTestSupport.h"

namespace {

// Lets scripts see inside handles and hand components to the engine.
struct ObjectProbe {
    static std::string IdGen(GameObject obj) {
        return std::to_string(obj.id) + "/" + std::to_string(obj.generation);
    }
    static GameObject Make(uint32_t id, uint32_t generation) { return GameObject(id, generation); }
    static bool IsAttached(TransformComponent* component) { return component->IsAttached(); }
};
using P = script::ScriptClass<ObjectProbe>;
const P objectProbeClass("ObjectProbe", {P::Function<&ObjectProbe::IdGen>("IdGen"),
                                         P::Function<&ObjectProbe::Make>("Make"),
                                         P::Function<&ObjectProbe::IsAttached>("IsAttached")});

class ObjectScript : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        manager().ClearAllObjects();
        Eval("var om = Core.Instance().objectManager, idGen = ObjectProbe.IdGen;");
    }
    static ObjectManager& manager() { return *Core::Instance().objectManager; }
};

TEST_F(ObjectScript, IdsAndGenerationsFollowCreationAndCarriedOutDestruction) {
    EXPECT_EQ(Eval("var a = om.NewObject(), b = om.NewObject(); [idGen(a), idGen(b)].join()"),
              "0/0,1/0");
    EXPECT_EQ(Eval("om.DeleteObject(a); [ObjectManager.IsValid(a), om.numGameObjects].join()"),
              "true,2"); // still live until carried out
    EXPECT_EQ(Eval("om.DelayedDestruction(); var c = om.NewObject();"
                   "[idGen(c), ObjectManager.IsValid(a), ObjectManager.IsValid(c),"
                   " ObjectManager.CompareObj(a, c), ObjectManager.CompareObj(b, c)].join()"),
              "0/1,false,true,true,false");
    EXPECT_EQ(manager().numGameObjects, 2u);
    // Handles above the signed range round-trip.
    EXPECT_EQ(Eval("var big = ObjectProbe.Make(4294967295, 2147483648);"
                   "[idGen(big), ObjectManager.IsValid(big),"
                   " ObjectManager.CompareObj(big, ObjectProbe.Make(4294967295, 0))].join()"),
              "4294967295/2147483648,false,true");
}

TEST_F(ObjectScript, ComponentsAreAddedTestedAndRemovedPerType) {
    EXPECT_EQ(Eval("var o = om.NewObject(); var t = ObjectManager.AddTransformComponent(o);"
                   "[String(t), ObjectManager.HasTransformComponent(o),"
                   " ObjectManager.HasCameraComponent(o)].join()"),
              "[object TransformComponent],true,false");
    EXPECT_TRUE(ObjectManager::HasComponent<TransformComponent>(GameObject(0, 0)));
    EXPECT_EQ(Eval("var r = ObjectManager.RemoveTransformComponent(o);"
                   "[Object.getPrototypeOf(r) === TransformComponent,"
                   " ObjectManager.HasTransformComponent(o), ObjectProbe.IsAttached(r),"
                   " ObjectProbe.IsAttached(ObjectManager.TransformComponent(o))].join()"),
              "true,false,false,false");
    // Every type has its functions.
    EXPECT_EQ(Eval("['Example','Voxel','Body','Pathfinding','GeneralData'].every(function(n) {"
                   "  return ObjectManager['Add' + n + 'Component'](o) !== null &&"
                   "         ObjectManager['Has' + n + 'Component'](o); })"),
              "true");
}

TEST_F(ObjectScript, ArgumentsAreCheckedByCountAndKind) {
    Eval("var o = om.NewObject()");
    EXPECT_EQ(Eval("[ObjectManager.AddTransformComponent(), "
                   " ObjectManager.AddTransformComponent(o, o), om.NewObject(1),"
                   " ObjectManager.CompareObj(o)].join()"),
              ",,,");
    EXPECT_FALSE(ObjectManager::HasComponent<TransformComponent>(GameObject(0, 0)));
    EXPECT_EQ(manager().numGameObjects, 1u);
    EXPECT_EQ(ErrorOf("ObjectManager.AddTransformComponent(5)"),
              "test.js:1:15: Error in ObjectManager.AddTransformComponent: argument 1 must be "
              "GameObject, got a number.");
    EXPECT_EQ(
        ErrorOf("ObjectManager.IsValid(GameObject)"),
        "test.js:1:15: Error in ObjectManager.IsValid: argument 1 must be GameObject, got the "
        "GameObject class object.");
    // A handle outside every store changes nothing.
    EXPECT_EQ(
        Eval("var far = ObjectProbe.Make(99, 0);"
             "[ObjectManager.AddTransformComponent(far), ObjectManager.TransformComponent(far),"
             " ObjectManager.HasTransformComponent(far)].join()"),
        ",,false");
}

TEST_F(ObjectScript, ComponentWrappersOutlivingTheirStoreReportAnError) {
    Eval("var o = om.NewObject(); var t = ObjectManager.AddTransformComponent(o);");
    EXPECT_EQ(Eval("ObjectProbe.IsAttached(t)"), "true");
    Eval("om.ClearAllObjects_FreeMemory()");
    EXPECT_EQ(ErrorOf("ObjectProbe.IsAttached(t)"),
              "test.js:1:13: Error, the TransformComponent at object id 0 is gone (the component "
              "stores were cleared or released since it was made).");
    // Reading and writing its fields say so too.
    EXPECT_EQ(ErrorOf("t.position"), "test.js:1:1: Error, Private data could not be retrieved in "
                                     "JSGet_position: the TransformComponent at object id 0 is "
                                     "gone (the component stores were cleared or released since "
                                     "it was made).");
    EXPECT_NE(ErrorOf("t.scale = [1, 1, 1]").find("JSSet_scale: the TransformComponent at"),
              std::string::npos);
    EXPECT_EQ(manager().numGameObjects, 0u);
    // Once the id is issued again the wrapper names that object's slot.
    EXPECT_EQ(Eval("om.NewObject(); ObjectProbe.IsAttached(t)"), "false");
}

// The names themselves are checked against the registry with the components.
TEST_F(ObjectScript, ComponentStringsAnswerEveryIndex) {
    EXPECT_EQ(Eval("JSON.stringify([ComponentStrings.Size(), ComponentStrings.At(15),"
                   " ComponentStrings.At(16), ComponentStrings.At(-1),"
                   " ComponentStrings.Find('ObstacleComponent')])"),
              "[16,\"GeneralDataComponent\",\"\",\"\",true]");
}

} // namespace
