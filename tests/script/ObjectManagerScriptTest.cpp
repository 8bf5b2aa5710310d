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

// Which handle is live and which id comes back is the object manager's own
// test; here, that handles cross as they are.
TEST_F(ObjectScript, HandlesCarryIdsAndGenerationsAndComponentStringsAnswerEveryIndex) {
    // Handles above the signed range round-trip; objects compare by id.
    EXPECT_EQ(Eval("var big = ObjectProbe.Make(4294967295, 2147483648);"
                   "[idGen(big), ObjectManager.IsValid(big),"
                   " ObjectManager.CompareObj(big, ObjectProbe.Make(4294967295, 0)),"
                   " ObjectManager.CompareObj(big, ObjectProbe.Make(0, 2147483648))].join()"),
              "4294967295/2147483648,false,true,false");
    // The names themselves are checked against the registry with the components.
    EXPECT_EQ(Eval("var n = ComponentStrings.Size(); JSON.stringify([ComponentStrings.At(n - 1)"
                   " !== '', ComponentStrings.At(n), ComponentStrings.At(-1),"
                   " ComponentStrings.Find('ObstacleComponent')])"),
              "[true,\"\",\"\",true]");
}

TEST_F(ObjectScript, ComponentsAreAddedTestedAndRemovedPerTypeOnLiveHandlesOnly) {
    EXPECT_EQ(Eval("var o = om.NewObject(); var t = ObjectManager.AddTransformComponent(o);"
                   "[String(t), ObjectManager.HasTransformComponent(o),"
                   " ObjectManager.HasCameraComponent(o)].join()"),
              "[object TransformComponent],true,false");
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
    // A handle outside every store changes nothing; a handle must be one.
    EXPECT_EQ(
        Eval("var far = ObjectProbe.Make(99, 0);"
             "[ObjectManager.AddTransformComponent(far), ObjectManager.TransformComponent(far),"
             " ObjectManager.HasTransformComponent(far), om.numGameObjects].join()"),
        ",,false,1");
    EXPECT_EQ(
        ErrorOf("ObjectManager.IsValid(GameObject)"),
        "test.js:1:15: Error in ObjectManager.IsValid: argument 1 must be GameObject, got the "
        "GameObject class object.");
}

// A component wrapper belongs to the object it was made for. Ids (and after
// a clear, generations too) are handed out again, so a wrapper that found
// its slot by id alone would drive the next object there.
TEST_F(ObjectScript, ComponentWrappersOutlivingTheirObjectReportAnErrorAndChangeNothing) {
    auto message = [](const std::string& statement) {
        return Eval("try { " + statement + "; 'accepted' } catch (e) { e.message }");
    };
    const std::string gone = "is gone (the object was destroyed, or all objects were cleared, "
                             "since this wrapper was made).";

    // Deleted: the wrapper keeps working until the destruction is carried
    // out, then fails, also once a new object has the id.
    Eval("var a = om.NewObject(), ta = ObjectManager.AddTransformComponent(a);"
         "ta.position = [1, 1, 1]; om.DeleteObject(a);");
    EXPECT_EQ(Eval("ta.position = [2, 2, 2]; ta.position"), "2,2,2");
    Eval("om.DelayedDestruction(); var b = om.NewObject();"
         "var tb = ObjectManager.AddTransformComponent(b); tb.position = [5, 5, 5];");
    EXPECT_EQ(Eval("idGen(b)"), "0/1");
    const std::string of = "the TransformComponent of object 0 (generation 0) " + gone;
    EXPECT_EQ(message("ta.position = [9, 9, 9]"),
              "Error, Private data could not be retrieved in JSSet_position: " + of);
    EXPECT_EQ(message("ta.position"),
              "Error, Private data could not be retrieved in JSGet_position: " + of);
    EXPECT_EQ(message("ObjectProbe.IsAttached(ta)"),
              "Error in ObjectProbe.IsAttached: argument 1 must be TransformComponent, got a "
              "TransformComponent object, but " +
                  of);
    EXPECT_EQ(Eval("tb.position"), "5,5,5");
    // A wrapper asked for through the stale handle is gone from the start.
    EXPECT_NE(message("ObjectManager.TransformComponent(a).scale = [3, 3, 3]").find(gone),
              std::string::npos);
    EXPECT_EQ(Eval("tb.scale + ' ' + ObjectManager.TransformComponent(b).position"), "0,0,0 5,5,5");

    // Cleared: the next object has id 0 and generation 0 again, like b's
    // predecessor c, and still is another object.
    Eval("om.ClearAllObjects(); var c = om.NewObject();"
         "var tc = ObjectManager.AddTransformComponent(c); tc.position = [1, 2, 3];"
         "om.ClearAllObjects(); var d = om.NewObject();"
         "ObjectManager.AddTransformComponent(d).position = [4, 5, 6];");
    EXPECT_EQ(Eval("idGen(c) + ' ' + idGen(d)"), "0/0 0/0");
    EXPECT_NE(message("tc.position = [9, 9, 9]").find(gone), std::string::npos);
    EXPECT_EQ(Eval("ObjectManager.TransformComponent(d).position"), "4,5,6");

    // Released: the store's memory is gone, and so is every wrapper into it.
    Eval("var td = ObjectManager.TransformComponent(d); om.ClearAllObjects_FreeMemory()");
    EXPECT_NE(message("td.scale = [1, 1, 1]").find("JSSet_scale: the TransformComponent of"),
              std::string::npos);
    EXPECT_EQ(Eval("om.NewObject(); [om.numGameObjects, ObjectManager.HasTransformComponent(d)]"),
              "1,false");
    EXPECT_NE(message("td.position").find(gone), std::string::npos);
}

} // namespace
