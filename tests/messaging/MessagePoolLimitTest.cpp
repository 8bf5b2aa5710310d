// Scripts and the engine share the message pool: what a script may take from it, and how
// the engine carries on when the pool is empty all the same.

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "script/ScriptTestSupport.h"

namespace {

std::size_t InUse() {
    return MessagePool::Instance().GetStatistics()->ObjectsInUse;
}

class MessagePoolLimit : public ScriptTest {};

TEST_F(MessagePoolLimit, ScriptsHitACapBadDelaysFailAndAnEmptyPoolDropsEngineMessagesOnce) {
    // A script holding every message it makes stops at the cap with a script error.
    EXPECT_EQ(Eval("var held = [], error = '';"
                   "try { for (;;) held.push(MouseWheelMessage.Create(1)); }"
                   "catch (e) { error = String(e); }"
                   "held.length > 90000 && /messages are alive/.test(error)"),
              "true");
    const std::size_t atCap = InUse();
    EXPECT_LT(atCap, std::size_t(110000)) << "the cap leaves the engine most of the pool";

    // The engine can still make its messages, and a frame's debug draw goes out.
    const auto droppedBefore = GetDroppedEngineMessageCount();
    Core::Instance().GraphicsSystem_->Update(0.0f);
    EXPECT_EQ(GetDroppedEngineMessageCount(), droppedBefore);

    // Messages a script dropped are not held: they are collected to make room.
    EXPECT_EQ(Eval("held = null; MouseWheelMessage.Create(2).delta"), "2");
    EXPECT_LT(InUse(), std::size_t(1000));

    // A delay that never falls due (or is negative) is refused and the record freed;
    // a finite one is queued.
    MessageManager& messages = *Core::Instance().messageManager;
    const std::size_t baseline = InUse();
    for (const char* delay : {"NaN", "Infinity", "-Infinity", "-1", "1e39"}) {
        EXPECT_NE(
            ErrorOf(std::string("Core.BroadcastMessageDelayed(MouseWheelMessage.Create(1), ") +
                    delay + ")")
                .find("the delay must be a finite number of seconds"),
            std::string::npos)
            << delay;
        EXPECT_EQ(messages.PendingCount(), 0u) << delay;
        EXPECT_LE(InUse(), baseline) << delay << ": the rejected record leaked";
    }
    // A delay that is no number refuses the call before the message changes
    // hands: the script still holds it and can send it properly.
    EXPECT_NE(ErrorOf("var kept = MouseWheelMessage.Create(3);"
                      "Core.BroadcastMessageDelayed(kept, 'soon')")
                  .find("must be number"),
              std::string::npos);
    EXPECT_EQ(Eval("kept.delta"), "3");
    EXPECT_EQ(ErrorOf("Core.BroadcastMessageDelayed(kept, 0); kept = null"), "");
    EXPECT_LE(InUse(), baseline) << "the record sent after a refusal leaked";
    EXPECT_EQ(ErrorOf("Core.BroadcastMessageDelayed(MouseWheelMessage.Create(1), 0.25)"), "");
    EXPECT_EQ(messages.PendingCount(), 1u);
    // Once due it is delivered and its record comes back.
    messages.Update(0.3f);
    EXPECT_EQ(messages.PendingCount(), 0u);
    EXPECT_LE(InUse(), baseline) << "a delivered delayed record leaked";

    // Even with the pool drained from the engine side, engine messages are dropped and said
    // once; the frame and quitting go on.
    Core& core = Core::Instance();
    ObjectAllocator& pool = MessagePool::Instance().GetAllocator();
    std::vector<void*> blocks;
    try {
        for (;;)
            blocks.push_back(pool.Allocate());
    } catch (const OAException& error) {
        EXPECT_EQ(error.code, OAException::E_NO_PAGES);
    }

    const auto droppedAtExhaustion = GetDroppedEngineMessageCount();
    core.running = true;
    ::testing::internal::CaptureStderr();
    core.GraphicsSystem_->Update(0.0f); // the debug-draw message
    core.ToggleProfileWindow();
    core.Quit();
    std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(GetDroppedEngineMessageCount(), droppedAtExhaustion + 3);
    EXPECT_FALSE(core.running) << "quitting does not depend on its message";
    EXPECT_EQ(CountOf(err, "message pool is exhausted"), 1u) << err;

    // Once a message could be made again, the next drop is reported again.
    pool.Free(blocks.back());
    DestroyMessage(TryCreateMessage<DebugDrawMessage>());
    blocks.back() = pool.Allocate();
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(TryCreateMessage<QuittingMessage>(), nullptr);
    err = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(CountOf(err, "message pool is exhausted"), 1u) << err;

    for (void* block : blocks)
        pool.Free(block);
}

} // namespace
