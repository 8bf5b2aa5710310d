#include "messaging/MessageManager.h"

#include <algorithm>

void MessageManager::AddListener(MessageListener& holder, unsigned group) {
    if (group < kGroupCount && holder.listener)
        groups[group].push_back(holder.listener);
}

void MessageManager::RemoveListener(MessageListener::MessageListenerBase* listener) {
    if (!listener)
        return;
    // Every group is searched: a listener left behind in any of them would be
    // called after its owner has deleted it.
    for (Listeners& listeners : groups)
        std::replace(listeners.begin(), listeners.end(), listener,
                     static_cast<MessageListener::MessageListenerBase*>(nullptr));
}

void MessageManager::Broadcast(unsigned group, const MessagePointer& message, float delay) {
    if (group > kAllGroups || !message)
        return;
    if (delay == 0.0f)
        Deliver(group, message);
    else
        delayed.push_back(DelayedMessage{delay, 0.0f, group, message});
}

void MessageManager::Deliver(unsigned group, const MessagePointer& message) {
    // Our own reference keeps the record alive even if a handler releases the
    // sender's handle mid-delivery.
    const MessagePointer keep(message);
    if (group == kAllGroups) {
        for (Listeners& listeners : groups)
            DeliverToGroup(listeners, keep);
    } else {
        DeliverToGroup(groups[group], keep);
    }
}

void MessageManager::DeliverToGroup(Listeners& listeners, const MessagePointer& message) {
    // Listeners added by a handler land beyond the snapshot and wait for the
    // next message; removed ones are null and skipped. Entries are read by
    // index because a handler's AddListener may reallocate the vector.
    const std::size_t count = listeners.size();
    for (std::size_t i = 0; i < count && i < listeners.size(); ++i)
        if (MessageListener::MessageListenerBase* listener = listeners[i])
            listener->HandleMessage(message);
}

void MessageManager::Update(float dt) {
    // Nodes left over from an update cut short by an exception were delivered
    // already; drop them before they could be delivered or erased twice.
    EraseDueNodes();

    // Handlers may post new delayed messages; they join the end of the list and
    // are reached by this same walk.
    for (auto node = delayed.begin(); node != delayed.end(); ++node) {
        node->elapsed += dt;
        if (node->delay <= node->elapsed) {
            dueNodes.push_back(node);
            Deliver(node->group, node->message);
        }
    }
    EraseDueNodes();

    for (Listeners& listeners : groups)
        listeners.erase(std::remove(listeners.begin(), listeners.end(), nullptr), listeners.end());
}

void MessageManager::EraseDueNodes() {
    for (DelayedList::iterator node : dueNodes)
        delayed.erase(node);
    dueNodes.clear();
}

std::size_t MessageManager::GroupSize(unsigned group) const {
    return group < kGroupCount ? groups[group].size() : 0;
}
