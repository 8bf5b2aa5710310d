#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messaging/MessageManager.h"

namespace {

using Log = std::vector<std::string>;

// Wheel messages serve as numbered test messages: "w<delta>".
std::string Label(const MessagePointer& message) {
    if (auto* wheel = message.As<MouseWheelMessage>())
        return "w" + std::to_string(wheel->delta);
    return message.As<KeyboardMessage>() ? "key" : message.As<QuittingMessage>() ? "quit" : "?";
}

// Logs "name:label" for every message, then runs its optional hook.
struct LoggingListener : MessageListener {
    LoggingListener(std::string name, Log& log) : name(std::move(name)), log(log) {
        listener = new MessageListenerDerived<LoggingListener>(this);
    }
    void HandleMessage(const MessagePointer& message) {
        log.push_back(name + ":" + Label(message));
        if (onMessage)
            onMessage(message);
    }
    std::string name;
    Log& log;
    std::function<void(const MessagePointer&)> onMessage;
};

class MessageManagerTest : public testing::Test {
  protected:
    void Post(std::int32_t tag, float delay) {
        manager.Broadcast(MessageManager::kAllGroups, MakeMessage<MouseWheelMessage>(tag), delay);
    }
    Log Take() { return std::exchange(log, {}); }

    MessageManager manager;
    Log log;
    LoggingListener a{"a", log}, b{"b", log}, c{"c", log}, d{"d", log};
};

TEST_F(MessageManagerTest,
       BroadcastReachesGroupsInOrderRemovalClearsEveryGroupAndKeptMessagesLive) {
    manager.AddListener(b, 2);
    manager.AddListener(c, 1);
    manager.AddListener(a, 0);
    manager.AddListener(d, 0);
    manager.AddListener(a, 1);
    manager.AddListener(d, MessageManager::kAllGroups); // not a group: ignored
    Post(1, 0.0f);
    EXPECT_EQ(Take(), (Log{"a:w1", "d:w1", "c:w1", "a:w1", "b:w1"}));

    manager.Broadcast(1, MakeMessage<QuittingMessage>(), 0.0f);
    manager.Broadcast(4, MakeMessage<QuittingMessage>(), 0.0f);
    manager.Broadcast(4, MakeMessage<QuittingMessage>(), 1.0f);
    manager.Broadcast(0, MessagePointer(), 0.0f);
    EXPECT_EQ(Take(), (Log{"c:quit", "a:quit"}));
    EXPECT_EQ(manager.PendingCount(), 0u);

    LoggingListener stranger("x", log);
    manager.RemoveListener(stranger.listener); // never registered
    manager.RemoveListener(a.listener);
    // A listener may keep a message past its delivery; the manager keeps no copy.
    MessagePointer kept;
    d.onMessage = [&](const MessagePointer& m) { kept = m; };
    Post(2, 0.0f);
    EXPECT_EQ(Take(), (Log{"d:w2", "c:w2", "b:w2"}));
    EXPECT_EQ(kept.UseCount(), 1);
    EXPECT_EQ(Label(kept), "w2");
}

TEST_F(MessageManagerTest, HandlersMayBroadcastRegisterAndRemoveDuringDelivery) {
    for (LoggingListener* listener : {&a, &b, &c})
        manager.AddListener(*listener, 0);
    a.onMessage = [&](const MessagePointer& m) {
        if (!m.As<KeyboardMessage>())
            return;
        manager.RemoveListener(c.listener);
        manager.AddListener(d, 0);
        Post(1, 0.0f);
    };
    b.onMessage = [&](const MessagePointer& m) {
        if (m.As<KeyboardMessage>())
            manager.RemoveListener(b.listener);
    };
    manager.Broadcast(MessageManager::kAllGroups,
                      MakeMessage<KeyboardMessage>(KS_PRESSED, 'q', false, false, false), 0.0f);
    // The nested message is delivered in full before the outer one goes on;
    // the newcomer gets only the nested one, the removed ones nothing after.
    EXPECT_EQ(Take(), (Log{"a:key", "a:w1", "b:w1", "d:w1", "b:key"}));
    EXPECT_EQ(manager.GroupSize(0), 4u) << "removed entries stay until the next update";

    manager.Update(0.016f);
    EXPECT_EQ(manager.GroupSize(0), 2u);
    Post(2, 0.0f);
    EXPECT_EQ(Take(), (Log{"a:w2", "d:w2"}));
}

TEST_F(MessageManagerTest, DelayedMessagesWaitForTheSumOfFrameTimesInPostingOrder) {
    manager.AddListener(a, 0);
    Post(1, 0.5f);
    manager.Update(0.2f);
    manager.Update(0.2f);
    EXPECT_TRUE(log.empty());
    manager.Update(0.2f);
    EXPECT_EQ(Take(), (Log{"a:w1"}));

    Post(2, -1.0f);
    EXPECT_TRUE(log.empty()) << "only a delay of exactly 0 is immediate";
    manager.Update(0.0f);
    EXPECT_EQ(Take(), (Log{"a:w2"}));

    Post(10, 1.0f);
    Post(5, 0.5f);
    manager.Update(2.0f);
    EXPECT_EQ(Take(), (Log{"a:w10", "a:w5"})) << "due together: posting order";

    // Posted while an update delivers: what is already due joins the same walk.
    a.onMessage = [&](const MessagePointer& m) {
        if (Label(m) == "w20") {
            Post(21, 0.1f);
            Post(22, 0.3f);
        }
    };
    Post(20, 0.2f);
    manager.Update(0.2f);
    EXPECT_EQ(Take(), (Log{"a:w20", "a:w21"}));
    manager.Update(0.2f);
    EXPECT_EQ(Take(), (Log{"a:w22"}));
    EXPECT_EQ(manager.PendingCount(), 0u);
}

// Strings too long for the short-string buffer: a record left pending must still go
// through its destructor (the leak checker sees any string left).
TEST_F(MessageManagerTest, PendingRecordsGoBackToThePoolWithTheirManager) {
    const OAStats& messages = *MessagePool::Instance().GetStatistics();
    const std::size_t messagesBefore = messages.ObjectsInUse;
    const std::string name = "a bar name far longer than any short-string buffer";
    {
        MessageManager traffic;
        traffic.AddListener(a, 0);
        for (unsigned i = 0; i < 600; ++i)
            traffic.Broadcast(MessageManager::kAllGroups,
                              MakeMessage<RegisterAntBarMessage>(name, 200u, 100u, 30u, i),
                              static_cast<float>(i % 3));
        traffic.Update(1.0f);
        EXPECT_EQ(messages.ObjectsInUse, messagesBefore + 200);
        // The rest are still pending when the manager goes away.
    }
    EXPECT_EQ(messages.ObjectsInUse, messagesBefore);
}

} // namespace
