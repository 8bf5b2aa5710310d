#include "logic/MessageDistributorComponent.h"

#include <tuple>

#include "core/Core.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"

namespace {

// The record as a script argument of its own message class. The record
// belongs to the delivery, so the script object is emptied after the call.
template <std::size_t I = 0> ScriptArg MessageArg(Message* message) {
    if constexpr (I == std::tuple_size_v<MessageTypes>) {
        return ScriptArg();
    } else {
        using Record = std::tuple_element_t<I, MessageTypes>;
        if (message->id == Record::kId)
            return ScriptArg::Borrowed(static_cast<Record*>(message));
        return MessageArg<I + 1>(message);
    }
}

} // namespace

void MessageDistributorComponent::OnAdd() {
    // A second add of an attached component must not leave its first listener registered.
    listener.Register(owner, Core::Instance().messageManager);
    active = true;
    processMessageFunction.Reset();
}

void MessageDistributorComponent::OnRemove() {
    // The manager only blanks the entry, so a delivery in progress (this very
    // listener may be on the stack) carries on safely.
    listener.Release();
    processMessageFunction.Reset();
}

void MessageDistributorComponent::HandleMessage(const MessagePointer& message) {
    if (!active || !processMessageFunction.IsFunction() || !message ||
        message->id >= kMessageTypeCount)
        return;
    // The function may remove this component or clear the world, destroying
    // this slot; nothing of it is touched after the call.
    const GameObject self = owner;
    processMessageFunction.Call({self, MessageArg(message.Get())});
}
