// A thread that writes files whole, one after the other, the latest first.

#include "base/AtomicFileWriter.h"

#include "base/AtomicFile.h"

AtomicFileWriter::~AtomicFileWriter() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    if (thread.joinable())
        thread.join();
}

void AtomicFileWriter::Write(std::filesystem::path target, std::string bytes) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        pending.emplace(std::move(target), std::move(bytes));
        if (!thread.joinable())
            thread = std::thread(&AtomicFileWriter::Run, this);
    }
    wake.notify_one();
}

void AtomicFileWriter::Wait() {
    std::unique_lock<std::mutex> lock(mutex);
    idle.wait(lock, [this] { return !pending && !busy; });
}

std::string AtomicFileWriter::TakeFailure(bool* succeededSince) {
    std::lock_guard<std::mutex> lock(mutex);
    failed = false;
    const bool wrote = std::exchange(succeeded, false);
    if (succeededSince)
        *succeededSince = wrote;
    return std::exchange(failure, std::string());
}

void AtomicFileWriter::Run() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return pending || stopping; });
        // What was asked for before the stop is written all the same.
        if (!pending)
            return;
        auto [target, bytes] = std::move(*pending);
        pending.reset();
        busy = true;
        lock.unlock();
        AtomicFile out;
        out.SetSync(true);
        const bool written = out.Write(target, bytes.data(), bytes.size()) && out.Commit();
        lock.lock();
        busy = false;
        succeeded = written;
        if (written) {
            failure.clear();
            failed = false;
        } else {
            failure = out.GetReason();
            failed = true;
        }
        if (!pending)
            idle.notify_all();
    }
}
