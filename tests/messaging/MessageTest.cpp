#include <gtest/gtest.h>

#include <string>

#include "messaging/MessagePointer.h"

namespace {

std::size_t MessagesInUse() {
    return MessagePool::Instance().GetStatistics()->ObjectsInUse;
}

void Callback(void*) {}

TEST(Message, RecordsKeepTheirFieldsAndIdentifiers) {
    int shown = 0;
    MessagePointer button =
        MakeMessage<AddButtonMessage>("editor bar with a long name", &Callback, &shown,
                                      "save the current model to disk", "key=CTRL+s");
    auto* record = button.As<AddButtonMessage>();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->id, 8u);
    EXPECT_EQ(record->barName, "editor bar with a long name");
    EXPECT_EQ(record->callback, &Callback);
    EXPECT_EQ(record->clientData, &shown);
    EXPECT_EQ(record->buttonName, "save the current model to disk");
    EXPECT_EQ(record->def, "key=CTRL+s");
    EXPECT_EQ(button.As<AddVarMessage>(), nullptr);

    MessagePointer click = MakeMessage<MouseButtonMessage>(-3, 640, KS_RELEASED, 2u);
    EXPECT_EQ(click->id, MID_MouseButtonMessage);
    EXPECT_EQ(click.As<MouseButtonMessage>()->mousePos[0], -3);
    EXPECT_EQ(click.As<MouseButtonMessage>()->mousePos[1], 640);
    EXPECT_EQ(click.As<MouseButtonMessage>()->state, 1u);
    EXPECT_EQ(MakeMessage<QuittingMessage>()->id, 16u);
}

// Builds every record with heap-allocated strings; each must come back through
// its own destructor and return its block.
TEST(Message, EveryRecordRoundTripsThroughThePool) {
    const std::size_t before = MessagesInUse();
    const std::string longText(64, 'x');
    {
        MessagePointer all[] = {
            MakeMessage<KeyboardMessage>(KS_PRESSED, 'a', true, false, true),
            MakeMessage<MouseButtonMessage>(1, 2, KS_PRESSED, 0u),
            MakeMessage<MouseMotionMessage>(1, 2, -1, -2),
            MakeMessage<MouseWheelMessage>(-1),
            MakeMessage<AddVarMessage>(longText, nullptr, 3, longText, longText),
            MakeMessage<RemoveVarMessage>(longText, longText),
            MakeMessage<AddEnumMessage>(longText, nullptr, longText, "a,b,c"),
            MakeMessage<ClearBarMessage>(longText),
            MakeMessage<AddButtonMessage>(longText, nullptr, nullptr, longText, longText),
            MakeMessage<RegisterAntBarMessage>(longText, 1u, 2u, 3u, 4u),
            MakeMessage<SetBarVisibleMessage>(longText, true),
            MakeMessage<TWDefineMessage>(longText, longText),
            MakeMessage<VideoSizeChangeMessage>(800u, 600u),
            MakeMessage<TextEnteredMessage>(0x263Au),
            MakeMessage<DeleteBarMessage>(longText),
            MakeMessage<DebugDrawMessage>(),
            MakeMessage<QuittingMessage>(),
        };
        EXPECT_EQ(MessagesInUse(), before + kMessageTypeCount);
        for (std::uint32_t i = 0; i < kMessageTypeCount; ++i) {
            EXPECT_EQ(all[i]->id, i);
            EXPECT_EQ(reinterpret_cast<std::uintptr_t>(all[i].Get()) % alignof(std::string), 0u);
        }
        EXPECT_EQ(all[4].As<AddVarMessage>()->def, longText);
    }
    EXPECT_EQ(MessagesInUse(), before);
}

TEST(MessagePointer, SharesOneRecordAndReleasesItWithTheLastCopy) {
    const std::size_t before = MessagesInUse();
    MessagePointer first = MakeMessage<MouseWheelMessage>(2);
    EXPECT_EQ(first.UseCount(), 1);
    {
        MessagePointer copy(first);
        MessagePointer assigned;
        assigned = copy;
        EXPECT_EQ(first.UseCount(), 3);
        EXPECT_EQ(assigned.Get(), first.Get());
        assigned = assigned; // self-assignment must not release anything
        EXPECT_EQ(first.UseCount(), 3);

        MessagePointer moved(std::move(copy));
        EXPECT_FALSE(copy);
        EXPECT_EQ(first.UseCount(), 3);
    }
    EXPECT_EQ(first.UseCount(), 1);

    first = MakeMessage<MouseWheelMessage>(3); // replacing the last copy frees the old record
    EXPECT_EQ(MessagesInUse(), before + 1);
    EXPECT_EQ(first.As<MouseWheelMessage>()->delta, 3);
    first.Reset();
    EXPECT_EQ(first.Get(), nullptr);
    EXPECT_EQ(MessagesInUse(), before);
}

} // namespace
