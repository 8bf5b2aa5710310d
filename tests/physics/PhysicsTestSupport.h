#pragma once

#include <string>

#include <btBulletDynamicsCommon.h>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsSystem.h"
#include "script/ScriptTestSupport.h"

// A physics world with a ground plane, built by scripts through the engine's
// own classes. Objects are numbered from 0 in the order the script makes them.
class PhysicsWorldTest : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        objects().ClearAllObjects();
        ASSERT_EQ(Eval(R"(
            var core = Core.Instance(), om = core.objectManager, physics = core.PhysicsSystem_;
            // A body at `position`; initialized unless `later` is set.
            function Body(position, shape, mass, group, mask, later) {
                var obj = om.NewObject();
                ObjectManager.AddTransformComponent(obj).position = position;
                var body = ObjectManager.AddBodyComponent(obj);
                body.initialMass = mass;
                body.collisionType = group;
                body.collidesWith = mask;
                if (shape)
                    body.shape = shape;
                if (!later)
                    ObjectManager.InitializeObj(obj);
                return obj;
            }
            "ok")"),
                  "ok");
    }

    static ObjectManager& objects() { return *Core::Instance().objectManager; }
    static PhysicsSystem& physics() { return *Core::Instance().PhysicsSystem_; }
    static btDiscreteDynamicsWorld& world() { return *physics().GetWorld(); }

    static TransformComponent& Transform(std::uint32_t id) {
        return *ObjectManager::GetComponent<TransformComponent>(GameObject(id, 0));
    }
    static BodyComponent& Body(std::uint32_t id) {
        return *ObjectManager::GetComponent<BodyComponent>(GameObject(id, 0));
    }

    static void Frames(int count, float dt = PhysicsSystem::kFixedStep) {
        for (int i = 0; i < count; ++i)
            physics().Update(dt);
    }
};
