// What localStorage adds to a frame. The frame loop ends every frame with
// LocalStorage::SaveChanges: a frame that stored nothing must cost nothing
// there, however big the store (BM_LocalStorageUnchangedFrame), and a frame
// that changed one key pays for encoding what changed and handing the file to
// the writer's thread (BM_LocalStorageFrameChangingOneKey, with a store of one
// small key and of 1 MiB), which writes it beside the old one, syncs it to
// disk and renames it (BM_LocalStorageWriteThrough waits for that too: the
// disk flush is its floor).
// BM_LocalStorageLoad is what the first use of the 1 MiB store costs.

#include <filesystem>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "script/LocalStorage.h"

namespace {

namespace fs = std::filesystem;

// 1,024 keys of 1,024 code units each: 1 MiB of code units, as the quota counts.
constexpr int kMiBKeys = 1024;
constexpr std::size_t kValueUnits = 1024 - 8;

struct BenchStore {
    fs::path folder =
        fs::temp_directory_path() / ("marrowvale-bench-storage-" + std::to_string(::getpid()));
    fs::path file = folder / LocalStorage::kFileName;

    explicit BenchStore(int keys = kMiBKeys) {
        fs::create_directories(folder);
        LocalStorage store(file);
        for (int i = 0; i < keys; ++i) {
            const std::string key = "key " + std::to_string(1000 + i);
            store.SetItem(std::u16string(key.begin(), key.end()),
                          std::u16string(kValueUnits, u'a' + i % 26));
        }
    }
    ~BenchStore() { fs::remove_all(folder); }
};

void BM_LocalStorageUnchangedFrame(benchmark::State& state) {
    BenchStore bench;
    LocalStorage store(bench.file);
    store.GetItem(u"key 1000");
    for (auto _ : state)
        store.SaveChanges();
    state.counters["units"] = static_cast<double>(store.GetUsedUnits());
}
BENCHMARK(BM_LocalStorageUnchangedFrame);

void BM_LocalStorageFrameChangingOneKey(benchmark::State& state) {
    BenchStore bench(static_cast<int>(state.range(0)));
    LocalStorage store(bench.file);
    int score = 0;
    for (auto _ : state) {
        const std::string value = std::to_string(++score);
        store.SetItem(u"score", std::u16string(value.begin(), value.end()));
        store.SaveChanges();
    }
    store.Flush();
    state.counters["file bytes"] = static_cast<double>(fs::file_size(bench.file));
}
BENCHMARK(BM_LocalStorageFrameChangingOneKey)
    ->ArgName("keys")
    ->Arg(0)
    ->Arg(kMiBKeys)
    ->Unit(benchmark::kMillisecond);

void BM_LocalStorageWriteThrough(benchmark::State& state) {
    BenchStore bench(static_cast<int>(state.range(0)));
    LocalStorage store(bench.file);
    int score = 0;
    for (auto _ : state) {
        const std::string value = std::to_string(++score);
        store.SetItem(u"score", std::u16string(value.begin(), value.end()));
        store.Flush();
    }
}
BENCHMARK(BM_LocalStorageWriteThrough)
    ->ArgName("keys")
    ->Arg(0)
    ->Arg(kMiBKeys)
    ->Unit(benchmark::kMillisecond);

void BM_LocalStorageLoad(benchmark::State& state) {
    BenchStore bench;
    for (auto _ : state) {
        LocalStorage store(bench.file);
        benchmark::DoNotOptimize(store.GetLength());
    }
}
BENCHMARK(BM_LocalStorageLoad)->Unit(benchmark::kMillisecond);

} // namespace
