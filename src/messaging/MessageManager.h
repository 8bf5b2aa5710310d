#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <list>
#include <vector>

#include "messaging/MessageListener.h"
#include "messaging/MessagePointer.h"
#include "objects/BlockAllocator.h"

struct DelayedMessage {
    float delay;         // seconds to wait
    float elapsed;       // seconds waited so far
    std::uint32_t group; // as given to Broadcast
    MessagePointer message;
};

// The hub every message travels through. Listeners register in groups; a
// broadcast goes to one group or, with kAllGroups, to every group in order.
class MessageManager {
  public:
    static constexpr unsigned kGroupCount = 3;
    static constexpr unsigned kAllGroups = 3;

    // Creating the message pool first makes it outlive the manager, even a
    // static one, so pending messages released at exit have a pool to go to.
    MessageManager() { MessagePool::Instance(); }
    ~MessageManager() = default; // pending delayed messages are released with the list
    MessageManager(const MessageManager&) = delete;
    MessageManager& operator=(const MessageManager&) = delete;

    // Appends the holder's adapter to a group (0 to kGroupCount - 1). The
    // caller keeps ownership and must RemoveListener before deleting it.
    void AddListener(MessageListener& holder, unsigned group);

    // Clears every entry holding this adapter; the slots are compacted in the
    // next Update so that a broadcast in progress keeps its positions.
    void RemoveListener(MessageListener::MessageListenerBase* listener);

    // Delay exactly 0 delivers now, before returning; any other delay waits
    // for Update. Unknown groups and null messages are ignored.
    void Broadcast(unsigned group, const MessagePointer& message, float delay);

    // Advances every delayed message by dt and delivers the due ones in the
    // order they were posted.
    void Update(float dt);

    // Entries of a group, cleared ones included.
    std::size_t GroupSize(unsigned group) const;
    std::size_t PendingCount() const { return delayed.size(); }

  private:
    using Listeners = std::vector<MessageListener::MessageListenerBase*>;
    // On a 64-bit build a DelayedMessage node (two list links, three 4-byte
    // fields and the 24-byte handle) is 56 bytes, so the nodes come from the
    // 64-byte pool rather than the 32-byte one a 32-bit build would use.
    using DelayedList = std::list<DelayedMessage, PoolAllocator<DelayedMessage>>;

    void Deliver(unsigned group, const MessagePointer& message);
    void DeliverToGroup(Listeners& listeners, const MessagePointer& message);
    void EraseDueNodes();

    DelayedList delayed;
    std::vector<DelayedList::iterator> dueNodes;
    std::array<Listeners, kGroupCount> groups;
};
