// What scripts can do wrong with bodies and shapes: each is a clear script
// error or harmless, never a freed body left in the world or a shape freed twice.

#include <string>

#include <gtest/gtest.h>

#include "physics/PhysicsTestSupport.h"

namespace {

using BodyLifecycle = PhysicsWorldTest;

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST_F(BodyLifecycle, ShapesAndBodiesSurviveEveryWrongOrder) {
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
