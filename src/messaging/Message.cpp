#include "messaging/Message.h"

#include <cstdio>

namespace {

template <class T> void DestroyAs(Message* message) {
    static_cast<T*>(message)->~T();
}

template <std::size_t... I> void DestroyRecord(Message* message, std::index_sequence<I...>) {
    using Destroyer = void (*)(Message*);
    static constexpr Destroyer destroyers[] = {
        &DestroyAs<std::tuple_element_t<I, MessageTypes>>...};
    // An identifier outside the table means the record was overwritten; its
    // members cannot be trusted, so only the block is reclaimed.
    if (message->id < sizeof...(I))
        destroyers[message->id](message);
}

std::uint64_t droppedEngineMessages = 0;
bool dropReported = false;

} // namespace

std::uint64_t GetDroppedEngineMessageCount() {
    return droppedEngineMessages;
}

void NoteEngineMessageDropped(std::uint32_t id, const char* reason) {
    ++droppedEngineMessages;
    if (dropReported)
        return;
    dropReported = true;
    std::fprintf(stderr,
                 "MessageManager: the message pool is exhausted (%s); the engine dropped a "
                 "message with id %u and goes on. Scripts holding many messages, or posting "
                 "them with huge delays, are the usual cause. Further drops are not reported "
                 "until a message can be made again.\n",
                 reason, static_cast<unsigned>(id));
    std::fflush(stderr);
}

void NoteEngineMessageCreated() {
    dropReported = false;
}

void DestroyMessage(Message* message) {
    if (!message)
        return;
    DestroyRecord(message, message_detail::Indices{});
    MessagePool::Instance().Free(message);
}
