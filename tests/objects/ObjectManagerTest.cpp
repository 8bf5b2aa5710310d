#include "objects/ObjectManager.h"

#include "graphics/TransformComponent.h"
#include "objects/ObjectTestSupport.h"

namespace {

using OM = ObjectManager;

void ExpectEveryStoreSize(std::size_t size) {
    for (BaseComponentFactory* store : ComponentRegistry::Instance().Stores())
        EXPECT_EQ(store->Size(), size);
    EXPECT_EQ(OM::Generations().size(), size);
}

TEST_F(Objects, DestructionWaitsForCarryOutIdsComeBackLastFirstAndHooksMayDeleteAndCreate) {
    const GameObject a = om.NewObject();
    const GameObject b = om.NewObject();
    OM::AddComponent<ProbeComponent>(a);
    om.DeleteObject(a);
    om.DeleteObject(b);
    EXPECT_TRUE(OM::IsValid(a));
    EXPECT_EQ(om.numGameObjects, 2u);
    EXPECT_EQ(Probe(a)->removeCalls, 0);
    om.Update();
    EXPECT_FALSE(OM::IsValid(a) || OM::HasComponent<ProbeComponent>(a));
    EXPECT_EQ(om.numGameObjects, 0u);
    EXPECT_EQ(Probe(a)->removeCalls, 1);

    const GameObject c = om.NewObject();
    const GameObject d = om.NewObject();
    EXPECT_EQ(c.id, 1u);
    EXPECT_EQ(d.id, 0u);
    EXPECT_EQ(d.generation, 1u);
    EXPECT_FALSE(OM::IsValid(a));
    EXPECT_TRUE(OM::IsValid(d));
    EXPECT_TRUE(OM::CompareObj(a, d));
    ExpectEveryStoreSize(2);

    // Hooks may delete and create during the carry-out.
    OM::AddComponent<ProbeComponent>(d);
    GameObject spawned;
    ProbeComponent::onRemove = [&](ProbeComponent& probe) {
        if (probe.owner.id == d.id) {
            om.DeleteObject(c);
            om.DelayedDestruction(); // already running: the running walk takes c
            spawned = om.NewObject();
            OM::AddComponent<ProbeComponent>(spawned);
        }
    };
    om.DeleteObject(d);
    om.Update();
    EXPECT_FALSE(OM::IsValid(c));
    // The spawned object must not be handed the id still being torn down.
    EXPECT_NE(spawned.id, d.id);
    EXPECT_TRUE(OM::HasComponent<ProbeComponent>(spawned) && OM::IsValid(spawned));
    EXPECT_EQ(om.numGameObjects, 1u);
}

TEST_F(Objects, RepeatedStaleAndForgedRequestsAndAWrittenCountChangeNoOtherObject) {
    const GameObject a = om.NewObject();
    om.DeleteObject(a);
    om.DeleteObject(a);
    om.Update();
    EXPECT_EQ(om.FreeIds().size(), 1u);

    const GameObject reuser = om.NewObject();
    OM::AddComponent<ProbeComponent>(reuser);
    om.DeleteObject(a); // stale: must not end the object now using the id
    const GameObject forged(1000, 0);
    EXPECT_FALSE(OM::IsValid(forged) || OM::HasComponent<TransformComponent>(forged));
    EXPECT_EQ(OM::AddComponent<TransformComponent>(forged), nullptr);
    EXPECT_EQ(OM::RemoveComponent<TransformComponent>(forged), nullptr);
    OM::InitializeObj(forged);
    om.DeleteObject(forged);
    om.Update();
    EXPECT_TRUE(OM::IsValid(reuser) && OM::HasComponent<ProbeComponent>(reuser));
    EXPECT_EQ(om.numGameObjects, 1u);

    om.numGameObjects = 0; // the count does not decide ids
    EXPECT_EQ(om.NewObject().id, 1u);
    om.numGameObjects = 1000;
    EXPECT_EQ(om.NewObject().id, 2u);
    ExpectEveryStoreSize(3);
}

TEST_F(Objects, ClearRestartsIdsRemovesEveryComponentAndMayComeFromAHook) {
    const GameObject a = om.NewObject();
    OM::AddComponent<ProbeComponent>(a);
    OM::AddComponent<ProbeComponent>(om.NewObject());
    int removals = 0;
    ProbeComponent::onRemove = [&](ProbeComponent&) { ++removals; };
    om.DeleteObject(a);
    om.ClearAllObjects();
    EXPECT_EQ(removals, 2);
    EXPECT_EQ(om.numGameObjects, 0u);
    EXPECT_TRUE(om.FreeIds().empty() && om.PendingDestruction().empty());
    ExpectEveryStoreSize(0);
    const GameObject next = om.NewObject();
    EXPECT_EQ(next.id + next.generation, 0u);
    EXPECT_TRUE(OM::IsValid(a)); // same id and generation as `next`

    // A clear requested by a hook ends the carry-out safely.
    OM::AddComponent<ProbeComponent>(next);
    OM::AddComponent<ProbeComponent>(om.NewObject());
    GameObject rebuilt, madeWhileClearing;
    bool cleared = false;
    ProbeComponent::onRemove = [&](ProbeComponent&) {
        if (cleared) {
            madeWhileClearing = om.NewObject(); // from the clear's own removals
            return;
        }
        cleared = true;
        om.ClearAllObjects();
        rebuilt = om.NewObject();
        OM::AddComponent<ProbeComponent>(rebuilt);
    };
    om.DeleteObject(next);
    om.Update();
    EXPECT_FALSE(OM::IsValid(madeWhileClearing));
    // The interrupted walk must neither detach nor retire the rebuilt object,
    // although it got the id that walk was tearing down.
    EXPECT_EQ(rebuilt.id, next.id);
    EXPECT_TRUE(OM::IsValid(rebuilt) && OM::HasComponent<ProbeComponent>(rebuilt));
    EXPECT_EQ(om.numGameObjects, 1u);
    ExpectEveryStoreSize(1);
}

TEST_F(Objects, SlotsKeepTheirValuesUnlessOnAddResetsThem) {
    const GameObject a = om.NewObject();
    OM::AddComponent<ProbeComponent>(a)->value = 42;
    OM::AddComponent<ResettingProbe>(a)->value = 42;
    OM::InitializeObj(a);
    OM::InitializeObj(a);
    EXPECT_EQ(Probe(a)->initializeCalls, 2);

    OM::RemoveComponent<ProbeComponent>(a);
    OM::RemoveComponent<ProbeComponent>(a); // detached: OnRemove runs anyway
    OM::InitializeObj(a);
    EXPECT_EQ(Probe(a)->initializeCalls, 2);
    EXPECT_EQ(Probe(a)->removeCalls, 2);
    OM::AddComponent<ProbeComponent>(a);
    OM::AddComponent<ProbeComponent>(a); // attached: no OnRemove in between
    EXPECT_EQ(Probe(a)->removeCalls, 2);
    EXPECT_EQ(OM::AddComponent<ResettingProbe>(a)->value, 0);

    om.DeleteObject(a);
    om.Update();
    const GameObject reuser = om.NewObject();
    EXPECT_FALSE(OM::HasComponent<ProbeComponent>(reuser));
    EXPECT_EQ(OM::AddComponent<ProbeComponent>(reuser)->value, 42);
    EXPECT_EQ(Probe(reuser)->owner.generation, 1u);
}

} // namespace
