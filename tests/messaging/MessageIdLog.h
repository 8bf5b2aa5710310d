#pragma once

#include <cstdint>
#include <vector>

#include "messaging/MessageManager.h"

// Records the id of every message broadcast to group 0 while it lives.
class MessageIdLog : public MessageListener {
  public:
    explicit MessageIdLog(MessageManager& messages) : messages(messages) {
        listener = new MessageListenerDerived<MessageIdLog>(this);
        messages.AddListener(*this, 0);
    }
    ~MessageIdLog() override { messages.RemoveListener(listener); }
    void HandleMessage(const MessagePointer& message) { ids.push_back(message->id); }

    MessageManager& messages;
    std::vector<uint32_t> ids;
};
