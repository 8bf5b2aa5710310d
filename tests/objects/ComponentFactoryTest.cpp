#include "objects/ComponentFactory.h"

#include <vector>

#include "graphics/TransformComponent.h"
#include "objects/ObjectTestSupport.h"

namespace {

using OM = ObjectManager;

TEST_F(Objects, ForEachAttachedWalksTheSlotsThatExistedWhenItBegan) {
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
}

TEST_F(Objects, ForEachAttachedStopsWhenTheWorldIsFreedUnderIt) {
    const GameObject first = om.NewObject();
    OM::AddComponent<ProbeComponent>(first);
    OM::AddComponent<ProbeComponent>(om.NewObject());
    int visits = 0;
    ComponentFactory<ProbeComponent>::Instance().ForEachAttached([&](ProbeComponent&) {
        ++visits;
        om.ClearAllObjects_FreeMemory();
    });
    EXPECT_EQ(visits, 1);
    EXPECT_EQ(Probe(first), nullptr);
}

TEST_F(Objects, SlotsStayInPlaceWhileStoresGrow) {
    const GameObject first = om.NewObject();
    const TransformComponent* slot = OM::GetComponent<TransformComponent>(first);
    for (int i = 0; i < 5000; ++i)
        om.NewObject();
    EXPECT_EQ(OM::GetComponent<TransformComponent>(first), slot);
}

} // namespace
