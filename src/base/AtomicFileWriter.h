#pragma once

// Files written through AtomicFile, synced to disk, on a thread of their own:
// the frame that asks for a write goes on while the disk flushes. A write
// asked for while another is under way waits; one that is still waiting is
// replaced by a newer one for the same writer, which supersedes it.

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

class AtomicFileWriter {
  public:
    AtomicFileWriter() = default;
    // Writes what was asked for, then stops its thread.
    ~AtomicFileWriter();
    AtomicFileWriter(const AtomicFileWriter&) = delete;
    AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

    void Write(std::filesystem::path target, std::string bytes);
    // Returns once everything asked for is written, or has failed.
    void Wait();
    bool HasFailure() const { return failed.load(std::memory_order_relaxed); }
    // Why the last write that failed did ("No space left on device"), once;
    // empty when none failed since the last call, or a later one succeeded.
    // `succeeded`, when given, tells whether the last write finished since
    // the last call went through.
    std::string TakeFailure(bool* succeeded = nullptr);

  private:
    void Run();

    std::mutex mutex;
    std::condition_variable wake; // something to write, or stop
    std::condition_variable idle; // nothing waiting and nothing under way
    std::optional<std::pair<std::filesystem::path, std::string>> pending;
    bool busy = false;
    bool stopping = false;
    std::string failure;
    bool succeeded = false;
    std::atomic<bool> failed{false};
    std::thread thread;
};
