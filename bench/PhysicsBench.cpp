#include <benchmark/benchmark.h>

#include <algorithm>
#include <string>
#include <vector>

#include <btBulletDynamicsCommon.h>
#include <jsapi.h>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsSystem.h"
#include "physics/Shape.h"
#include "script/ScriptCallback.h"
#include "script/ScriptHost.h"
#include "script/ScriptValue.h"

// The engine's physics frame (step plus write-back into every transform)
// against the same world stepped by the library directly, with the poses read
// from the same motion states into a plain array. One iteration is three
// seconds of a fresh drop: `count` boxes falling from staggered heights onto
// the ground plane, landing, settling and going to sleep.
namespace {

constexpr int kFrames = 180;

struct Pose {
    glm::vec3 position;
    glm::quat orientation;
};

PhysicsSystem& Physics() {
    PhysicsSystem& physics = *Core::Instance().PhysicsSystem_;
    if (!physics.GetWorld()) {
        physics.makeGroundPlane = true;
        physics.Initialize();
    }
    return physics;
}

// Clears the previous drop and builds a new one; returns the bodies.
std::vector<btRigidBody*> Drop(std::size_t count) {
    ObjectManager& om = *Core::Instance().objectManager;
    om.ClearAllObjects();
    std::vector<btRigidBody*> bodies;
    for (std::size_t i = 0; i < count; ++i) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = {
            float(i % 40) * 1.5f, 2.0f + float(i % 7) * 0.5f, float(i / 40) * 1.5f};
        BodyComponent* body = ObjectManager::AddComponent<BodyComponent>(obj);
        body->initialMass = 1.0f;
        body->collisionType = 1;
        body->collidesWith = 7;
        body->pendingShape =
            Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(0.5f, 0.5f, 0.5f)));
        om.InitializeObj(obj);
        bodies.push_back(body->GetBody());
    }
    return bodies;
}

void BM_PhysicsUpdate(benchmark::State& state) {
    PhysicsSystem& physics = Physics();
    for (auto _ : state) {
        state.PauseTiming();
        Drop(static_cast<std::size_t>(state.range(0)));
        state.ResumeTiming();
        for (int frame = 0; frame < kFrames; ++frame)
            physics.Update(PhysicsSystem::kFixedStep);
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_PhysicsUpdate)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(6);

void BM_BulletStepRaw(benchmark::State& state) {
    btDiscreteDynamicsWorld& world = *Physics().GetWorld();
    for (auto _ : state) {
        state.PauseTiming();
        const std::vector<btRigidBody*> bodies = Drop(static_cast<std::size_t>(state.range(0)));
        std::vector<Pose> poses(bodies.size());
        state.ResumeTiming();
        for (int frame = 0; frame < kFrames; ++frame) {
            world.stepSimulation(PhysicsSystem::kFixedStep, PhysicsSystem::kMaxSubSteps,
                                 PhysicsSystem::kFixedStep);
            for (std::size_t i = 0; i < bodies.size(); ++i) {
                btTransform pose;
                bodies[i]->getMotionState()->getWorldTransform(pose);
                btQuaternion rotation;
                pose.getBasis().getRotation(rotation);
                poses[i] = {FromBullet(pose.getOrigin()), FromBullet(rotation)};
            }
            benchmark::DoNotOptimize(poses.data());
        }
    }
    state.SetItemsProcessed(state.iterations() * kFrames);
}
BENCHMARK(BM_BulletStepRaw)->Arg(1000)->Unit(benchmark::kMillisecond)->Iterations(6);

} // namespace

// The part of the frame that is the engine's own, in isolation: the write-back
// into the transforms against reading the same motion states into an array.
namespace {

void BM_PhysicsWriteBack(benchmark::State& state) {
    PhysicsSystem& physics = Physics();
    Drop(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state)
        physics.WritePosesBack();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_PhysicsWriteBack)->Arg(1000);

void BM_MotionStateReadRaw(benchmark::State& state) {
    Physics();
    const std::vector<btRigidBody*> bodies = Drop(static_cast<std::size_t>(state.range(0)));
    std::vector<Pose> poses(bodies.size());
    for (auto _ : state) {
        for (std::size_t i = 0; i < bodies.size(); ++i) {
            btTransform pose;
            bodies[i]->getMotionState()->getWorldTransform(pose);
            btQuaternion rotation;
            pose.getBasis().getRotation(rotation);
            poses[i] = {FromBullet(pose.getOrigin()), FromBullet(rotation)};
        }
        benchmark::DoNotOptimize(poses.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_MotionStateReadRaw)->Arg(1000);

} // namespace

// Boxes at rest on the ground (asleep, as resting boxes soon are), one frame of
// one fixed step per iteration: Arg 0 with no collision functions, which must
// cost what the step cost before collisions were reported; Arg 1 with an
// enter and an exit function on every box, whose pairs are then read after
// every step.
namespace {

ScriptCallback ScriptFunction(const char* source) {
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    host.Evaluate(std::string("var benchFunction = ") + source, "bench.js");
    JSContext* cx = host.GetContext();
    JS::RootedObject global(cx, host.GetGlobal());
    JS::RootedValue value(cx);
    ScriptCallback function;
    if (JS_GetProperty(cx, global, "benchFunction", &value))
        script::Convert<ScriptCallback>::FromScript(cx, value, function);
    return function;
}

void BM_PhysicsRestingBoxes(benchmark::State& state) {
    PhysicsSystem& physics = Physics();
    const std::vector<btRigidBody*> bodies = Drop(1000);
    if (state.range(0) != 0) {
        const ScriptCallback touched = ScriptFunction("function (obj, other, contact) {}");
        ComponentFactory<BodyComponent>::Instance().ForEachAttached([&](BodyComponent& body) {
            body.SetCollisionEnterFunction(touched);
            body.SetCollisionExitFunction(touched);
        });
    }
    for (int frame = 0; frame < 600; ++frame)
        physics.Update(PhysicsSystem::kFixedStep);
    for (auto _ : state)
        physics.Update(PhysicsSystem::kFixedStep);
    state.counters["pairs"] = static_cast<double>(physics.GetCollisionEvents().GetPairCount());
    state.counters["awake"] = static_cast<double>(
        std::count_if(bodies.begin(), bodies.end(), [](btRigidBody* b) { return b->isActive(); }));
    ComponentFactory<BodyComponent>::Instance().ForEachAttached([&](BodyComponent& body) {
        body.SetCollisionEnterFunction(ScriptCallback());
        body.SetCollisionExitFunction(ScriptCallback());
    });
}
BENCHMARK(BM_PhysicsRestingBoxes)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

} // namespace
