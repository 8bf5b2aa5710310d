#include "objects/ComponentMessageListener.h"

#include "messaging/Message.h"
#include "messaging/MessagePointer.h"

#include "objects/ObjectTestSupport.h"

namespace {

struct ListeningComponent : Component {
    void HandleMessage(const MessagePointer& message) { last = &message; }
    const MessagePointer* last = nullptr;
};

TEST_F(Objects, ComponentListenerReachesOnlyAnAttachedComponentOfALiveObject) {
    ComponentRegistry::Instance().Register(ComponentFactory<ListeningComponent>::Instance());
    const MessagePointer message = MakeMessage<QuittingMessage>();
    auto deliveredTo = [&](ComponentMessageListener<ListeningComponent>& holder,
                           ListeningComponent* target) {
        target->last = nullptr;
        holder.listener->HandleMessage(message);
        return target->last == &message;
    };

    const GameObject a = om.NewObject();
    ListeningComponent* target = ObjectManager::AddComponent<ListeningComponent>(a);
    ComponentMessageListener<ListeningComponent> holder(a);
    ComponentMessageListener<ListeningComponent> forged(GameObject(7, 0));
    EXPECT_FALSE(forged.listener->IsValid());
    forged.listener->HandleMessage(message);

    EXPECT_TRUE(deliveredTo(holder, target));
    ObjectManager::RemoveComponent<ListeningComponent>(a);
    EXPECT_FALSE(deliveredTo(holder, target));
    ObjectManager::AddComponent<ListeningComponent>(a);
    om.DeleteObject(a);
    EXPECT_TRUE(deliveredTo(holder, target)); // live until the carry-out
    om.Update();
    EXPECT_FALSE(holder.listener->IsValid());
    ObjectManager::AddComponent<ListeningComponent>(om.NewObject()); // reuses the id
    EXPECT_FALSE(deliveredTo(holder, target));
}

} // namespace
