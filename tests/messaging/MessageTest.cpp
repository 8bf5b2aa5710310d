#include <gtest/gtest.h>

#include <set>
#include <string>

#include "messaging/MessagePointer.h"

namespace {

std::size_t MessagesInUse() {
    return MessagePool::Instance().GetStatistics()->ObjectsInUse;
}

// Every record, with strings too long for the short-string buffer: each must go
// back through its own destructor (the leak checker sees any string left).
TEST(Message, EveryRecordRoundTripsThroughThePoolAndTheLastPointerReleasesIt) {
    const std::size_t before = MessagesInUse();
    const std::string text(64, 'x');
    {
        MessagePointer all[] = {
            MakeMessage<KeyboardMessage>(KS_PRESSED, 'a', true, false, true),
            MakeMessage<MouseButtonMessage>(1, 2, KS_PRESSED, 0u),
            MakeMessage<MouseMotionMessage>(1, 2, -1, -2),
            MakeMessage<MouseWheelMessage>(-1),
            MakeMessage<AddVarMessage>(text, nullptr, 3, text, text),
            MakeMessage<RemoveVarMessage>(text, text),
            MakeMessage<AddEnumMessage>(text, nullptr, text, "a,b,c"),
            MakeMessage<ClearBarMessage>(text),
            MakeMessage<AddButtonMessage>(text, nullptr, nullptr, text, text),
            MakeMessage<RegisterAntBarMessage>(text, 1u, 2u, 3u, 4u),
            MakeMessage<SetBarVisibleMessage>(text, true),
            MakeMessage<TWDefineMessage>(text, text),
            MakeMessage<VideoSizeChangeMessage>(800u, 600u),
            MakeMessage<TextEnteredMessage>(0x263Au),
            MakeMessage<DeleteBarMessage>(text),
            MakeMessage<DebugDrawMessage>(),
            MakeMessage<QuittingMessage>(),
        };
        std::set<std::uint32_t> ids; // each record tells its own kind
        for (const MessagePointer& message : all) {
            ids.insert(message->id);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(message.Get()) % alignof(std::string), 0u);
        }
        EXPECT_EQ(ids.size(), kMessageTypeCount);
        EXPECT_EQ(all[8].As<AddButtonMessage>()->def, text);
        EXPECT_EQ(all[8].As<AddVarMessage>(), nullptr);
        EXPECT_EQ(MessagesInUse(), before + kMessageTypeCount);
    }
    EXPECT_EQ(MessagesInUse(), before);

    // Pointers share one record and release it with the last copy.
    MessagePointer first = MakeMessage<MouseWheelMessage>(2);
    {
        MessagePointer copy(first), assigned;
        assigned = copy;
        assigned = assigned;
        EXPECT_EQ(first.UseCount(), 3);
        MessagePointer moved(std::move(copy));
        EXPECT_FALSE(copy);
        EXPECT_EQ(first.UseCount(), 3);
    }
    EXPECT_EQ(first.UseCount(), 1);
    first = MakeMessage<MouseWheelMessage>(3); // replacing the last copy frees the old record
    EXPECT_EQ(MessagesInUse(), before + 1);
    first.Reset();
    EXPECT_EQ(MessagesInUse(), before);
}

} // namespace
