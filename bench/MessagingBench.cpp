#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "messaging/MessageManager.h"

namespace {

struct CountingListener : MessageListener {
    CountingListener() { listener = new MessageListenerDerived<CountingListener>(this); }
    void HandleMessage(const MessagePointer& message) {
        if (message->id == MID_KeyboardMessage)
            ++received;
    }
    long received = 0;
};

// One key press as the window system sends it: a fresh record, wrapped,
// delivered at once to every listener, then returned to the pool.
void BM_BroadcastImmediate(benchmark::State& state) {
    MessageManager manager;
    std::vector<std::unique_ptr<CountingListener>> listeners;
    for (int64_t i = 0; i < state.range(0); ++i) {
        listeners.push_back(std::make_unique<CountingListener>());
        manager.AddListener(*listeners.back(), 0);
    }
    for (auto _ : state) {
        MessagePointer message = MakeMessage<KeyboardMessage>(KS_PRESSED, 'a', false, false, false);
        manager.Broadcast(MessageManager::kAllGroups, message, 0.0f);
    }
    benchmark::DoNotOptimize(listeners.front()->received);
    state.SetItemsProcessed(state.iterations() * state.range(0));
    for (auto& listener : listeners)
        manager.RemoveListener(listener->listener);
}
BENCHMARK(BM_BroadcastImmediate)->Arg(100);

} // namespace
