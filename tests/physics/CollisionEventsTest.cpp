#include <gtest/gtest.h>

#include "physics/PhysicsTestSupport.h"

namespace {

// Bodies that log their collision calls as "name>other" lines; the ground
// plane is "ground". Scripts name the objects they make with Named().
class CollisionEventsTest : public PhysicsWorldTest {
  protected:
    void SetUp() override {
        PhysicsWorldTest::SetUp();
        Eval("physics.makeGroundPlane = true;");
        physics().Initialize();
        ASSERT_EQ(Eval(R"(
            var log = [], named = [];
            function NameOf(obj) {
                if (obj === null) return "ground";
                var found = named.find(function (n) { return ObjectManager.CompareObj(n[0], obj); });
                return found ? found[1] : "?";
            }
            function Listen(obj, name, enter, exit) {
                named.push([obj, name]);
                var body = ObjectManager.BodyComponent(obj);
                body.onCollisionEnterFunction = enter || function (o, other, contact) {
                    log.push("enter " + NameOf(o) + ">" + NameOf(other));
                    globalThis["contact " + NameOf(o) + ">" + NameOf(other)] =
                        [contact.point, contact.normal, contact.impulse];
                };
                body.onCollisionExitFunction = exit || function (o, other) {
                    log.push("exit " + NameOf(o) + ">" + NameOf(other));
                };
            }
            function Taken() { var s = log.join(", "); log = []; return s; }
            "ok")"),
                  "ok");
    }
};

TEST_F(CollisionEventsTest, TouchesTriggersAndOverlapsAreReportedOnceAndSurviveDeletion) {
    ASSERT_EQ(Eval(R"(
        var low = Body([0, 1, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        var high = Body([0, 3, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        var quiet = Body([5, 1, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        Listen(low, "low"); Listen(high, "high");
        "ok")"),
              "ok");
    Frames(150);
    // The ground first (the low box lands first), then both sides of the
    // stacked pair, lower id first; resting and sleeping repeat nothing.
    EXPECT_EQ(Eval("Taken()"), "enter low>ground, enter low>high, enter high>low");
    EXPECT_EQ(Eval("contact = globalThis['contact low>ground']; "
                   "[contact[1].map(Math.round), Math.abs(contact[0][1]) < 0.05, contact[2] > 0]"),
              "0,1,0,true,true");
    EXPECT_EQ(Eval("globalThis['contact high>low'][1].map(Math.round)"), "0,1,0");
    EXPECT_EQ(Eval("globalThis['contact low>high'][1].map(Math.round)"), "0,-1,0");
    EXPECT_EQ(Eval("Math.abs(globalThis['contact high>low'][0][1] - 1) < 0.05"), "true");

    Eval("ObjectManager.BodyComponent(high).SetVelocity([0, 8, 0])");
    Frames(20);
    EXPECT_EQ(Eval("Taken()"), "exit low>high, exit high>low");
    // Removing a body ends its touches at once, its own side included.
    Eval("ObjectManager.RemoveBodyComponent(low)");
    EXPECT_EQ(Eval("Taken()"), "exit low>ground");
    EXPECT_EQ(physics().GetCollisionEvents().GetPairCount(), 0u);
    EXPECT_EQ(physics().GetCollisionEvents().GetListenerCount(), 1u);

    // A trigger sees a ball pass, and overlap queries respect groups. Each part of the
    // scenario starts from an empty world.
    ASSERT_EQ(Eval(R"(
        om.ClearAllObjects(); named = []; Taken();
        var gate = Body([0, 5, 0], Shape.BoxShape([1, 1, 1]), 0, 1, 7, true);
        ObjectManager.BodyComponent(gate).isTrigger = true;
        ObjectManager.InitializeObj(gate);
        var ball = Body([-5, 5, 0], Shape.SphereShape(0.25), 1, 1, 7, true);
        ObjectManager.BodyComponent(ball).initialVelocity = [20, 0, 0];
        ObjectManager.InitializeObj(ball);
        Listen(gate, "gate"); Listen(ball, "ball");
        "ok")"),
              "ok");
    Frames(15); // the ball is inside the gate
    EXPECT_EQ(Eval("Taken()"), "enter gate>ball, enter ball>gate");
    EXPECT_EQ(Eval("physics.OverlapSphere([0, 5, 0], 0.5).map(NameOf).join()"), "gate,ball");
    Frames(15);
    EXPECT_EQ(Eval("Taken()"), "exit gate>ball, exit ball>gate");
    EXPECT_EQ(Eval("ObjectManager.BodyComponent(ball).GetVelocity()[0].toFixed(2)"), "20.00");

    ASSERT_EQ(Eval(R"(
        var red = Body([10, 0.5, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 0, 2, 7);
        var far = Body([20, 0.5, 0], Shape.SphereShape(0.5), 0, 1, 7);
        named.push([red, "red"], [far, "far"]);
        [physics.OverlapBox([10, 1, 0], [1, 1, 1]).map(NameOf).join(),
         physics.OverlapSphere([10, 1, 0], 1, 1).map(NameOf).join(),
         physics.OverlapSphere([20, 2, 0], 0.9, 7).map(NameOf).join(),
         physics.OverlapSphere([20, 2, 0], 1.1, 7).map(NameOf).join()].join("|"))"),
              "red|||far");
    for (const char* bad :
         {"physics.OverlapSphere([0, 0, 0], -1, 7)", "physics.OverlapSphere([NaN, 0, 0], 1, 7)",
          "physics.OverlapBox([0, 0, 0], [1, -1, 1], 7)"}) {
        const std::string error = Eval(bad);
        EXPECT_NE(error.find("must be finite"), std::string::npos) << bad << ": " << error;
    }
    EXPECT_NE(Eval("physics.OverlapSphere([0, 0, 0], 1, 'all')").find("argument 3 must be"),
              std::string::npos);

    // A function may delete what it touches.
    ASSERT_EQ(Eval(R"(
        om.ClearAllObjects(); named = []; Taken();
        var floor = Body([0, 0.5, 0], Shape.BoxShape([2, 0.5, 2]), 0, 1, 7);
        var crate = Body([0, 2, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        var other = Body([0, 3.5, 1.2], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);
        // The floor removes whatever lands on it and deletes itself.
        Listen(floor, "floor", function (o, hit) {
            log.push("enter floor>" + NameOf(hit));
            ObjectManager.RemoveBodyComponent(hit);
            om.DeleteObject(hit);
            om.DeleteObject(o);
        });
        Listen(crate, "crate"); Listen(other, "other");
        "ok")"),
              "ok");
    Frames(60);
    objects().DelayedDestruction();
    Frames(5);
    // The crates never heard of the floor: it removed them first. Each
    // removal ended the floor's pair at once.
    EXPECT_EQ(Eval("Taken()"),
              "enter floor>crate, exit floor>crate, enter floor>other, exit floor>other");
    EXPECT_EQ(Eval("[ObjectManager.IsValid(floor), ObjectManager.IsValid(crate)].join()"),
              "false,false");
    EXPECT_EQ(physics().GetCollisionEvents().GetPairCount(), 0u);
}

} // namespace
