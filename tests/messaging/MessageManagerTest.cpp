#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "messaging/MessageManager.h"

namespace {

std::size_t MessagesInUse() {
    return MessagePool::Instance().GetStatistics()->ObjectsInUse;
}

// Logs "name:id" for every message it gets and then runs its optional hook.
struct LoggingListener : MessageListener {
    LoggingListener(std::string name, std::vector<std::string>& log)
        : name(std::move(name)), log(log) {
        listener = new MessageListenerDerived<LoggingListener>(this);
    }
    void HandleMessage(const MessagePointer& message) {
        log.push_back(name + ":" + std::to_string(message->id));
        if (onMessage)
            onMessage(message);
    }
    std::string name;
    std::vector<std::string>& log;
    std::function<void(const MessagePointer&)> onMessage;
};

class MessageManagerTest : public testing::Test {
  protected:
    void Post(std::int32_t tag, float delay) {
        manager.Broadcast(MessageManager::kAllGroups, MakeMessage<MouseWheelMessage>(tag), delay);
    }
    // Tags of the wheel messages logged so far, then forgets them.
    std::vector<std::int32_t> TakeDelivered() { return std::exchange(delivered, {}); }

    void SetUp() override {
        manager.AddListener(wheel, 0);
        wheel.onMessage = [this](const MessagePointer& m) {
            if (auto* wheelMessage = m.As<MouseWheelMessage>())
                delivered.push_back(wheelMessage->delta);
        };
    }

    MessageManager manager;
    std::vector<std::string> log;
    std::vector<std::int32_t> delivered;
    LoggingListener wheel{"wheel", log};
};

TEST_F(MessageManagerTest, BroadcastReachesGroupsInOrder) {
    LoggingListener a("a", log), b("b", log), c("c", log);
    manager.AddListener(b, 2);
    manager.AddListener(c, 1);
    manager.AddListener(a, 0);
    manager.AddListener(a, MessageManager::kAllGroups); // not a group: ignored
    EXPECT_EQ(manager.GroupSize(0), 2u);

    MessagePointer quit = MakeMessage<QuittingMessage>();
    manager.Broadcast(MessageManager::kAllGroups, quit, 0.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"wheel:16", "a:16", "c:16", "b:16"}));

    log.clear();
    manager.Broadcast(1, quit, 0.0f);
    manager.Broadcast(4, quit, 0.0f);
    manager.Broadcast(4, quit, 1.0f);
    manager.Broadcast(0, MessagePointer(), 0.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"c:16"}));
    EXPECT_EQ(manager.PendingCount(), 0u);
}

TEST_F(MessageManagerTest, HandlersMayBroadcastRegisterAndRemoveDuringDelivery) {
    LoggingListener a("a", log), b("b", log), c("c", log), late("late", log);
    for (LoggingListener* listener : {&a, &b, &c})
        manager.AddListener(*listener, 0);
    a.onMessage = [&](const MessagePointer& m) {
        if (m->id != MID_KeyboardMessage)
            return;
        manager.RemoveListener(c.listener);
        manager.AddListener(late, 0);
        manager.Broadcast(MessageManager::kAllGroups, MakeMessage<TextEnteredMessage>(65u), 0.0f);
    };
    b.onMessage = [&](const MessagePointer& m) {
        if (m->id == MID_KeyboardMessage)
            manager.RemoveListener(b.listener);
    };

    manager.Broadcast(MessageManager::kAllGroups,
                      MakeMessage<KeyboardMessage>(KS_PRESSED, 'q', false, false, false), 0.0f);
    // The nested message is delivered in full before the outer one goes on;
    // the newcomer gets only the nested one, the removed ones nothing after.
    EXPECT_EQ(log, (std::vector<std::string>{"wheel:0", "a:0", "wheel:13", "a:13", "b:13",
                                             "late:13", "b:0"}));
    EXPECT_EQ(manager.GroupSize(0), 5u) << "removed entries stay until the next update";

    manager.Update(0.016f);
    EXPECT_EQ(manager.GroupSize(0), 3u);
    log.clear();
    manager.Broadcast(0, MakeMessage<DebugDrawMessage>(), 0.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"wheel:15", "a:15", "late:15"}));
}

TEST_F(MessageManagerTest, RemoveListenerClearsEveryRegistration) {
    LoggingListener twice("twice", log), never("never", log);
    manager.AddListener(twice, 0);
    manager.AddListener(twice, 1);
    manager.RemoveListener(never.listener);
    manager.RemoveListener(nullptr);
    manager.RemoveListener(twice.listener);
    manager.Broadcast(MessageManager::kAllGroups, MakeMessage<QuittingMessage>(), 0.0f);
    EXPECT_EQ(log, (std::vector<std::string>{"wheel:16"}));
}

TEST_F(MessageManagerTest, DelayedMessageWaitsForTheSumOfFrameTimes) {
    Post(1, 0.5f);
    EXPECT_TRUE(delivered.empty());
    manager.Update(0.2f);
    manager.Update(0.2f);
    EXPECT_TRUE(delivered.empty());
    manager.Update(0.2f);
    EXPECT_EQ(TakeDelivered(), std::vector<std::int32_t>{1});
    EXPECT_EQ(manager.PendingCount(), 0u);

    Post(2, -1.0f);
    EXPECT_TRUE(delivered.empty()) << "only a delay of exactly 0 is immediate";
    manager.Update(0.0f);
    EXPECT_EQ(TakeDelivered(), std::vector<std::int32_t>{2});
}

TEST_F(MessageManagerTest, DueMessagesComeInPostingOrder) {
    Post(10, 1.0f);
    Post(5, 0.5f);
    std::vector<std::vector<std::int32_t>> perUpdate;
    for (int i = 0; i < 4; ++i) {
        manager.Update(0.25f);
        perUpdate.push_back(TakeDelivered());
    }
    EXPECT_EQ(perUpdate, (std::vector<std::vector<std::int32_t>>{{}, {5}, {}, {10}}));

    Post(10, 1.0f);
    Post(5, 0.5f);
    manager.Update(2.0f);
    EXPECT_EQ(TakeDelivered(), (std::vector<std::int32_t>{10, 5}));
}

TEST_F(MessageManagerTest, MessagesPostedDuringUpdateJoinTheSameWalk) {
    LoggingListener poster("poster", log);
    manager.AddListener(poster, 0);
    poster.onMessage = [&](const MessagePointer& m) {
        if (m.As<MouseWheelMessage>() && m.As<MouseWheelMessage>()->delta == 1) {
            Post(2, 0.1f); // already due with this update's dt
            Post(3, 0.3f); // needs another frame
        }
    };
    Post(1, 0.2f);
    manager.Update(0.2f);
    EXPECT_EQ(TakeDelivered(), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(manager.PendingCount(), 1u);
    manager.Update(0.2f);
    EXPECT_EQ(TakeDelivered(), std::vector<std::int32_t>{3});
}

TEST_F(MessageManagerTest, KeptPointerKeepsTheRecordAlive) {
    const std::size_t before = MessagesInUse();
    MessagePointer kept;
    wheel.onMessage = [&](const MessagePointer& m) { kept = m; };
    Post(7, 0.0f);
    EXPECT_EQ(MessagesInUse(), before + 1);
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept.UseCount(), 1);
    EXPECT_EQ(kept.As<MouseWheelMessage>()->delta, 7);
    kept.Reset();
    EXPECT_EQ(MessagesInUse(), before);
}

TEST_F(MessageManagerTest, LongBarNameSurvivesTheDelayedList) {
    const std::string name = "a bar name far longer than any short-string buffer";
    std::string received;
    wheel.onMessage = [&](const MessagePointer& m) {
        if (auto* bar = m.As<RegisterAntBarMessage>()) {
            received = bar->barName;
            EXPECT_EQ(bar->width, 200u);
            EXPECT_EQ(bar->posY, 40u);
        }
    };
    {
        MessagePointer message = MakeMessage<RegisterAntBarMessage>(name, 200u, 100u, 30u, 40u);
        manager.Broadcast(MessageManager::kAllGroups, message, 0.1f);
        for (int i = 0; i < 3; ++i) // neighbouring blocks in use while it waits
            Post(i, 5.0f);
    }
    manager.Update(0.1f);
    EXPECT_EQ(received, name);
}

TEST(MessageManager, PoolsReturnToTheirStartAfterTraffic) {
    const OAStats& messages = *MessagePool::Instance().GetStatistics();
    // Delayed-list nodes (two links and a DelayedMessage, 56 bytes) live in the 64-byte pool.
    const OAStats& nodes = *BlockAllocator<64>::Instance().GetStatistics();
    const std::size_t messagesBefore = messages.ObjectsInUse;
    const std::size_t nodesBefore = nodes.ObjectsInUse;
    {
        MessageManager manager;
        std::vector<std::string> log;
        LoggingListener listener("l", log);
        manager.AddListener(listener, 0);
        for (int i = 0; i < 600; ++i) {
            manager.Broadcast(MessageManager::kAllGroups,
                              MakeMessage<TWDefineMessage>("a long bar name to defeat SSO", "x"),
                              static_cast<float>(i % 3));
        }
        EXPECT_EQ(nodes.ObjectsInUse, nodesBefore + 400);
        manager.Update(1.0f);
        EXPECT_EQ(log.size(), 400u); // the immediate ones and those due after 1 s
        EXPECT_EQ(messages.ObjectsInUse, messagesBefore + 200);
        manager.RemoveListener(listener.listener);
        // The remaining 200 are still pending when the manager goes away.
    }
    EXPECT_EQ(messages.ObjectsInUse, messagesBefore);
    EXPECT_EQ(nodes.ObjectsInUse, nodesBefore);
}

} // namespace
