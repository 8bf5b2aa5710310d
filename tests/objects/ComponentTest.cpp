// Component stores, the type registry and the listener adapter that reaches a component.

#include <string_view>
#include <type_traits>
#include <vector>

#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentMessageListener.h"
#include "objects/ComponentStrings.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectTestSupport.h"

namespace {

using OM = ObjectManager;

TEST(ComponentTypes, RegistryHoldsTheStoresInListOrderAndScriptsSeeAllButBillboard) {
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
    std::vector<std::string_view> scriptNames;
    std::size_t visited = 0;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        EXPECT_EQ(kComponentIndex<T>, visited);
        EXPECT_EQ(stores.at(visited++), &ComponentFactory<T>::Instance());
        if (!std::is_same_v<T, BillboardComponent>)
            scriptNames.push_back(ComponentTypeName<T>());
    });
    EXPECT_FALSE(kIsRegistryComponent<ProbeComponent>);
    ASSERT_EQ(ComponentStrings::Size(), scriptNames.size());
    for (std::size_t i = 0; i < scriptNames.size(); ++i)
        EXPECT_EQ(ComponentStrings::At(i), scriptNames[i]);
    EXPECT_FALSE(ComponentStrings::Find("obstacleComponent")) << "names are case-sensitive";
}

TEST_F(Objects, ForEachAttachedWalksTheSlotsThatExistedWhenItBeganAndStopsIfFreed) {
    std::vector<GameObject> objs;
    for (int i = 0; i < 5; ++i)
        objs.push_back(om.NewObject());
    for (int i : {0, 2, 4})
        OM::AddComponent<ProbeComponent>(objs[i]);
    std::vector<std::uint32_t> visited;
    ComponentFactory<ProbeComponent>::Instance().ForEachAttached([&](ProbeComponent& probe) {
        visited.push_back(probe.owner.id);
        if (probe.owner.id == 0) {
            OM::RemoveComponent<ProbeComponent>(objs[4]); // ahead: skipped
            OM::AddComponent<ProbeComponent>(objs[3]);    // ahead: visited
        } else if (probe.owner.id == 2) {
            OM::AddComponent<ProbeComponent>(objs[1]);        // behind: not visited
            OM::AddComponent<ProbeComponent>(om.NewObject()); // appended: not visited
        }
    });
    EXPECT_EQ(visited, (std::vector<std::uint32_t>{0, 2, 3}));
    const ProbeComponent* slot = Probe(objs[0]);
    for (int i = 0; i < 5000; ++i)
        om.NewObject();
    EXPECT_EQ(Probe(objs[0]), slot) << "slots stay in place while stores grow";

    // The world freed under a walk ends it.
    int visits = 0;
    ComponentFactory<ProbeComponent>::Instance().ForEachAttached([&](ProbeComponent&) {
        ++visits;
        om.ClearAllObjects_FreeMemory();
    });
    EXPECT_EQ(visits, 1);
    EXPECT_EQ(Probe(objs[0]), nullptr);
}

// After a peak the walk follows the attached slots only, and still in id order: ids
// come back last-released first, so new objects are attached out of id order.
TEST_F(Objects, WalksStayInIdOrderAfterAPeakAndDeletionsInTheMiddle) {
    ComponentFactory<ProbeComponent>& probes = ComponentFactory<ProbeComponent>::Instance();
    std::vector<GameObject> objs;
    for (int i = 0; i < 1000; ++i) {
        objs.push_back(om.NewObject());
        OM::AddComponent<ProbeComponent>(objs.back());
    }
    for (int i = 0; i < 1000; ++i)
        if (i != 3 && i != 500 && i != 997)
            om.DeleteObject(objs[i]);
    om.Update();
    auto walk = [&] {
        std::vector<std::uint32_t> ids;
        probes.ForEachAttached([&](ProbeComponent& probe) { ids.push_back(probe.owner.id); });
        return ids;
    };
    EXPECT_EQ(walk(), (std::vector<std::uint32_t>{3, 500, 997}));
    EXPECT_EQ(probes.AttachedCount(), 3u);

    const GameObject late = om.NewObject(), later = om.NewObject(); // ids 999, 998
    OM::AddComponent<ProbeComponent>(later);
    OM::AddComponent<ProbeComponent>(late);
    OM::RemoveComponent<ProbeComponent>(objs[500]);
    OM::AddComponent<ProbeComponent>(objs[500]); // back before any walk: listed once
    const GameObject low = om.NewObject();
    ASSERT_EQ(late.id, 999u);
    EXPECT_EQ(walk(), (std::vector<std::uint32_t>{3, 500, 997, 998, 999}));

    // A nested walk that detaches tidies the list under the outer one, and a slot
    // attached mid-walk below the outer walk's place waits for the next walk.
    std::vector<std::uint32_t> outer;
    probes.ForEachAttached([&](ProbeComponent& probe) {
        outer.push_back(probe.owner.id);
        if (probe.owner.id == 500) {
            OM::RemoveComponent<ProbeComponent>(objs[997]);
            EXPECT_EQ(walk(), (std::vector<std::uint32_t>{3, 500, 998, 999}));
            OM::AddComponent<ProbeComponent>(low); // id 996: ahead of 500, visited
            OM::AddComponent<ProbeComponent>(objs[3]);
        }
    });
    EXPECT_EQ(outer, (std::vector<std::uint32_t>{3, 500, 996, 998, 999}));
    EXPECT_EQ(walk(), (std::vector<std::uint32_t>{3, 500, 996, 998, 999}));
    om.ClearAllObjects();
    EXPECT_EQ(walk(), std::vector<std::uint32_t>{});
}

struct ListeningComponent : Component {
    void HandleMessage(const MessagePointer& message) { last = &message; }
    const MessagePointer* last = nullptr;
};

TEST_F(Objects, ComponentListenerReachesOnlyAnAttachedComponentOfALiveObject) {
    ComponentRegistry::Instance().Register(ComponentFactory<ListeningComponent>::Instance());
    const MessagePointer message = MakeMessage<QuittingMessage>();
    const GameObject a = om.NewObject();
    ListeningComponent* target = OM::AddComponent<ListeningComponent>(a);
    ComponentMessageListener<ListeningComponent> holder(a), forged(GameObject(7, 0));
    auto delivered = [&] {
        target->last = nullptr;
        holder.listener->HandleMessage(message);
        return target->last == &message;
    };
    EXPECT_FALSE(forged.listener->IsValid());
    forged.listener->HandleMessage(message);

    EXPECT_TRUE(delivered());
    OM::RemoveComponent<ListeningComponent>(a);
    EXPECT_FALSE(delivered());
    OM::AddComponent<ListeningComponent>(a);
    om.DeleteObject(a);
    EXPECT_TRUE(delivered()); // live until the carry-out
    om.Update();
    EXPECT_FALSE(holder.listener->IsValid());
    OM::AddComponent<ListeningComponent>(om.NewObject()); // reuses the id
    EXPECT_FALSE(delivered());
}

} // namespace
