#include "messaging/Message.h"

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

} // namespace

void DestroyMessage(Message* message) {
    if (!message)
        return;
    DestroyRecord(message, message_detail::Indices{});
    MessagePool::Instance().Free(message);
}
