// Bodies in a real physics world, built, queried and misused by scripts.

#include <cmath>
#include <string>

#include <gtest/gtest.h>

#include "physics/PhysicsTestSupport.h"

namespace {

using PhysicsWorld = PhysicsWorldTest;

::testing::AssertionResult Near(const glm::vec3& got, const glm::vec3& want, float tolerance) {
    if (glm::all(glm::lessThanEqual(glm::abs(got - want), glm::vec3(tolerance))))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "(" << got.x << ", " << got.y << ", " << got.z << ") is not within " << tolerance
           << " of (" << want.x << ", " << want.y << ", " << want.z << ")";
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

glm::vec3 FromInverse(const btVector3& inverse) {
    return {1.0f / inverse.x(), 1.0f / inverse.y(), 1.0f / inverse.z()};
}

// One scene, settled: a box and an offset ball on the ground, a kinematic
// platform carrying a box, a static box in group 0 and a body with no shape.
TEST_F(PhysicsWorld, BodiesSettleFollowTheirSettingsAndRaysFindWhatTheyShould) {
    // Read at initialization only; step mode and debug drawing start off.
    Eval("physics.makeGroundPlane = true; physics.stepMode = true; physics.debugDraw = true;"
         "physics.gravity = [0, -9.8, 0];");
    physics().Initialize();
    EXPECT_EQ(Eval("[physics.stepMode, physics.debugDraw, physics.makeGroundPlane].join()"),
              "false,false,true");
    Eval("physics.gravity = [0, 50, 0]; physics.makeGroundPlane = false;");
    EXPECT_FLOAT_EQ(world().getGravity().y(), -9.8f);
    ASSERT_NE(physics().GetGroundBody(), nullptr);

    ASSERT_EQ(Eval(R"(
        var box = Body([0, 5, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);   // 0
        var ball = Body([-3, 0.5, 0], Shape.SphereShape(0.5), 1, 1, 7, true);   // 1
        ObjectManager.BodyComponent(ball).originOffset = [0, 2, 0];
        ObjectManager.BodyComponent(ball).initialFriction = 0.9;
        ObjectManager.InitializeObj(ball);
        var platform = Body([6, 0.5, 0], Shape.BoxShape([1, 0.5, 1]), 0, 1, 7, true); // 2
        ObjectManager.BodyComponent(platform).isKinematic = true;
        ObjectManager.InitializeObj(platform);
        var rider = Body([6, 3, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7);  // 3
        var hidden = Body([3, 5, 0], Shape.BoxShape([0.5, 0.5, 0.5]), 0, 0, 7); // 4
        var bare = Body([-6, 5, 0], null, 2, 1, 7, true);                       // 5
        ObjectManager.BodyComponent(bare).initialLocalInertia = [1, 2, 4];
        ObjectManager.InitializeObj(bare);
        "ok")"),
              "ok");
    EXPECT_EQ(world().getNumCollisionObjects(), 7);

    // The ball starts at its transform plus the offset, and from the first
    // step on its transform is the body's own origin.
    physics().Update(PhysicsSystem::kFixedStep);
    EXPECT_GT(Transform(1).position.y, 2.4f);
    EXPECT_LE(Transform(1).position.y, 2.5f);

    // Surface values left unset keep the library's; set ones replace them.
    EXPECT_FLOAT_EQ(Body(0).GetBody()->getRestitution(), 0.0f);
    EXPECT_FLOAT_EQ(Body(0).GetBody()->getFriction(), 0.5f);
    EXPECT_FLOAT_EQ(Body(1).GetBody()->getFriction(), 0.9f);
    // No shape: an empty one, with the given inertia used as it is.
    EXPECT_EQ(Body(5).GetShapeKind(), ShapeKind::Empty);
    EXPECT_TRUE(Near(FromInverse(Body(5).GetBody()->getInvInertiaDiagLocal()), {1, 2, 4}, 1e-5f));

    Frames(240);
    // Resting on the plane at half their height (the landing may turn the
    // cube about the vertical and slide it a little).
    EXPECT_NEAR(Transform(0).position.y, 0.5f, 0.02f);
    EXPECT_TRUE(Near(Transform(0).position, {0, 0.5f, 0}, 0.6f));
    EXPECT_NEAR((Transform(0).orientation * glm::vec3(0, 1, 0)).y, 1.0f, 1e-3f);
    EXPECT_LT(glm::length(FromBullet(Body(0).GetBody()->getLinearVelocity())), 0.01f);
    EXPECT_NEAR(Transform(1).position.y, 0.5f, 0.02f);
    // The rider lies on the platform, which did not give way.
    EXPECT_TRUE(Near(Transform(3).position, {6, 1.5f, 0}, 0.02f));
    EXPECT_EQ(Transform(2).position, glm::vec3(6, 0.5f, 0));
    // The shapeless body falls through everything, and the group-0 box stays.
    EXPECT_LT(Transform(5).position.y, -50.0f);
    EXPECT_EQ(Transform(4).position, glm::vec3(3, 5, 0));

    // Moving the platform's transform moves its body, and the rider with it.
    for (int i = 1; i <= 60; ++i) {
        Transform(2).position.y = 0.5f + 2.0f * static_cast<float>(i) / 60.0f;
        Frames(1);
    }
    Frames(30);
    EXPECT_EQ(Transform(2).position, glm::vec3(6, 2.5f, 0));
    EXPECT_TRUE(Near(Transform(3).position, {6, 3.5f, 0}, 0.03f));

    // Rays: a body, the ground, a group-0 body (never hit) and nothing.
    EXPECT_EQ(Eval("var r = physics.RayTestClosestPoint([0, 10, 0], [0, -10, 0]);"
                   "[ObjectManager.CompareObj(r.object, box), ObjectManager.IsValid(r.object),"
                   " r.intersection.map(function (v) { return v.toFixed(2); })].join()"),
              "true,true,0.00,1.00,0.00");
    const RayTestResult ground = physics().RayTestClosestPoint({20, 10, 20}, {20, -10, 20});
    EXPECT_TRUE(Near(ground.intersection, {20, 0, 20}, 1e-4f));
    EXPECT_EQ(ground.object.generation, GameObject::kNoGeneration);
    const RayTestResult throughHidden = physics().RayTestClosestPoint({3, 10, 0}, {3, -10, 0});
    EXPECT_TRUE(Near(throughHidden.intersection, {3, 0, 0}, 1e-4f));
    EXPECT_EQ(throughHidden.object.generation, GameObject::kNoGeneration);
    EXPECT_EQ(Eval("var m = physics.RayTestClosestPoint([100, 10, 100], [100, 20, 100]);"
                   "[m.intersection.join(), ObjectManager.IsValid(m.object)].join()"),
              "0,0,0,false");
    EXPECT_EQ(Eval("String(physics.RayTestClosestPoint([0, 10, 0]))"), "undefined");
    EXPECT_EQ(physics().RayTestClosestPoint({6, 10, 0}, {6, -10, 0}).object.id, 3u);

    // A detached slot is neither written back nor named by a ray, though its
    // body may still be in the world.
    Body(0).attached = false;
    Transform(0).position = {0, 9, 0};
    Frames(1);
    EXPECT_EQ(Transform(0).position, glm::vec3(0, 9, 0));
    const RayTestResult detached = physics().RayTestClosestPoint({0, 10, 0}, {0, -10, 0});
    EXPECT_NEAR(detached.intersection.y, 1.0f, 0.03f);
    EXPECT_EQ(detached.object.generation, GameObject::kNoGeneration);
    Body(0).attached = true;
}

// Crates left on a floor fall asleep; whatever a script does to one wakes it,
// and a body kept awake, or a kinematic one, never sleeps.
TEST_F(PhysicsWorld, ScriptsWakeSleepingBodiesAndReadTheirVelocities) {
    physics().Initialize();
    ASSERT_EQ(Eval(R"(
        Body([0, -0.5, 0], Shape.BoxShape([40, 0.5, 40]), 0, 1, 7);                  // 0
        var objs = [1, 2, 3, 4, 5, 6].map(function (i) {                             // 1..6
            return Body([5 * i - 15, 0.5, 10], Shape.BoxShape([0.5, 0.5, 0.5]), 1, 1, 7, i == 6);
        });
        objs.push(Body([0, 0.5, -10], Shape.BoxShape([1, 0.5, 1]), 0, 1, 7, true));  // 7
        var crates = objs.map(function (o) { return ObjectManager.BodyComponent(o); });
        var platform = crates.pop();
        crates[5].allowSleep = false;
        platform.isKinematic = true;
        objs.slice(5).forEach(function (o) { ObjectManager.InitializeObj(o); });
        var ball = Body([12, 30, -10], Shape.SphereShape(0.5), 1, 1, 7);             // 8
        ball = ObjectManager.BodyComponent(ball);
        ball.SetAngularVelocity([0, 3, 0]);
        "ok")"),
              "ok");
    Frames(30);
    // Half a second of free fall.
    EXPECT_NEAR(std::stof(Eval("ball.GetVelocity()[1]")), world().getGravity().y() * 0.5f, 0.2f);
    EXPECT_EQ(Eval("[ball.GetVelocity()[0], ball.GetVelocity()[2]] + ' ' +"
                   " ball.GetAngularVelocity().map(function (v) { return v.toFixed(3); })"),
              "0,0 0.000,3.000,0.000");

    Frames(210);
    const char* sleeping = "crates.concat(platform).map(function (c) { return c.IsSleeping(); })";
    EXPECT_EQ(Eval(sleeping), "true,true,true,true,true,false,false");
    Eval("crates[0].SetVelocity([2, 0, 0]); crates[1].SetAngularVelocity([0, 2, 0]);"
         "crates[2].ApplyForce([0, 30, 0]); crates[3].ApplyTorque([0, 5, 0]);"
         "ObjectManager.TransformComponent(objs[4]).position = [10, 3, 10];");
    Frames(10);
    EXPECT_EQ(Eval(sleeping), "false,false,false,false,false,false,false");
    EXPECT_GT(Transform(1).position.x, -9.9f);
    EXPECT_NEAR(Transform(5).position.y, 0.5f, 0.01f); // woken, and back on its body

    // allowSleep is read back, and applies to a live body at once.
    Eval("crates[5].allowSleep = true; crates[0].allowSleep = false;"
         "platform.allowSleep = false; platform.allowSleep = true;");
    Frames(180);
    EXPECT_EQ(Eval(sleeping), "false,true,true,true,true,true,false");
    EXPECT_EQ(Eval("crates[5].allowSleep = false; [crates[5].IsSleeping(), crates[0].allowSleep]"),
              "false,false");
}

// What scripts can do wrong with bodies and shapes: each is a clear script
// error or harmless, never a freed body left in the world or a shape freed twice.
TEST_F(PhysicsWorld, ShapesAndBodiesSurviveEveryWrongOrder) {
    // Before the world exists a body cannot be built.
    EXPECT_TRUE(Contains(ErrorOf("Body([0, 1, 0], Shape.SphereShape(1), 1, 1, 7)"),
                         "before the PhysicsSystem is initialized"));
    EXPECT_EQ(Body(0).GetBody(), nullptr);
    objects().ClearAllObjects();
    physics().Initialize();
    const int before = world().getNumCollisionObjects();

    // Shape queries, and sizes the library cannot take.
    EXPECT_EQ(Eval("var cap = Shape.CapsuleShape(0.5, 2), box = Shape.BoxShape([1, 2, 3]);"
                   "var sphere = Shape.SphereShape(0.5), cone = Shape.ConeShape(1, 3);"
                   "[cap.GetHeight(), cap.GetRadius(), box.GetRadius(), box.GetHeight(),"
                   " box.GetHalfExtents().map(function (v) { return v.toFixed(2); }),"
                   " sphere.GetHalfExtents(), sphere.GetRadius(), cone.GetHeight(),"
                   " Shape.CylinderShape([1, 1, 1]).GetHalfExtents()[0].toFixed(2),"
                   " Shape.NoShape().GetRadius(), Shape.CompoundShape().GetHeight(),"
                   " String(Shape.SphereShape())].join()"),
              "2,0.5,0,0,0.96,1.96,2.96,0,0,0,0.5,3,0.96,0,0,undefined");
    EXPECT_TRUE(Contains(ErrorOf("Shape.SphereShape(-1)"), "radius must be a finite number"));
    EXPECT_TRUE(Contains(ErrorOf("Shape.BoxShape([1, NaN, 1])"), "halfExtents[1]"));
    EXPECT_TRUE(Contains(ErrorOf("Shape.GetRadius()"), "Private data could not be retrieved"));

    // Functions before initialization; the shape property before and after.
    ASSERT_EQ(Eval("var shared = Shape.BoxShape([0.5, 0.5, 0.5]);"
                   "var a = Body([0, 3, 0], shared, 1, 1, 7, true);" // 0
                   "var b = Body([2, 3, 0], shared, 1, 1, 7, true);" // 1
                   "var ba = ObjectManager.BodyComponent(a), bb = ObjectManager.BodyComponent(b);"
                   "[ba.shape.GetRadius(), ObjectManager.BodyComponent(a).isKinematic].join()"),
              "0,false");
    EXPECT_TRUE(Contains(ErrorOf("ba.SetVelocity([1, 0, 0])"), "initialize the object first"));
    EXPECT_TRUE(Contains(ErrorOf("ba.ApplyForce([1, 0, 0])"), "BodyComponent.ApplyForce"));
    EXPECT_TRUE(Contains(ErrorOf("ba.shape = core"), "Shape"));

    // One shape given to two bodies: the first takes it, the second reports.
    EXPECT_EQ(ErrorOf("ObjectManager.InitializeObj(a)"), "");
    EXPECT_EQ(Eval("String(ba.shape)"), "null");
    EXPECT_TRUE(Contains(ErrorOf("ObjectManager.InitializeObj(b)"), "already taken"));
    EXPECT_EQ(Body(1).GetBody(), nullptr);
    EXPECT_TRUE(Contains(ErrorOf("shared.GetHalfExtents()"), "is gone"));
    EXPECT_TRUE(Contains(ErrorOf("bb.shape = shared"), "is gone"));
    EXPECT_EQ(world().getNumCollisionObjects(), before + 1);
    // Initializing again keeps the one body.
    EXPECT_TRUE(Contains(ErrorOf("ObjectManager.InitializeObj(a)"), "already has a body"));
    EXPECT_EQ(world().getNumCollisionObjects(), before + 1);
    // A body needs a transform.
    EXPECT_TRUE(Contains(ErrorOf("var lone = om.NewObject(); ObjectManager.AddBodyComponent(lone);"
                                 "ObjectManager.InitializeObj(lone)"),
                         "needs a TransformComponent"));

    // Adding the component again, removing it twice, deleting the object and
    // clearing everything each take the body out of the world exactly once.
    Eval("var k = Body([4, 3, 0], Shape.SphereShape(1), 1, 1, 7);"
         "ObjectManager.BodyComponent(k).isKinematic = true;");
    EXPECT_EQ(world().getNumCollisionObjects(), before + 2);
    Eval("ObjectManager.AddBodyComponent(k);");
    EXPECT_EQ(Eval("ObjectManager.BodyComponent(k).isKinematic"), "false");
    EXPECT_EQ(world().getNumCollisionObjects(), before + 1);
    Eval("ObjectManager.InitializeObj(k); ObjectManager.RemoveBodyComponent(k);"
         "ObjectManager.RemoveBodyComponent(k);");
    EXPECT_EQ(world().getNumCollisionObjects(), before + 1);
    Eval("om.DeleteObject(a); om.DelayedDestruction();");
    EXPECT_EQ(world().getNumCollisionObjects(), before);
    Frames(10);

    Eval("Body([0, 3, 0], Shape.SphereShape(1), 1, 1, 7); Body([0, 6, 0], null, 1, 1, 7);");
    EXPECT_EQ(world().getNumCollisionObjects(), before + 2);
    Eval("om.ClearAllObjects();");
    EXPECT_EQ(world().getNumCollisionObjects(), before);
    Frames(10);
    Eval("Body([0, 3, 0], Shape.SphereShape(1), 1, 1, 7); om.ClearAllObjects_FreeMemory();");
    EXPECT_EQ(world().getNumCollisionObjects(), before);
    Frames(10);
    EXPECT_EQ(physics().RayTestClosestPoint({0, 10, 0}, {0, -10, 0}).object.generation,
              GameObject::kNoGeneration);
}

} // namespace
