// Writing a file beside its target, then renaming it over the target.

#include "base/AtomicFile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// A name in the target's folder that no other file has yet; opened exclusively
// so that two writers never share it, nor one overwrites someone else's file.
std::FILE* CreateBeside(const fs::path& target, fs::path& temp) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 16; ++attempt) {
        char suffix[64];
        std::snprintf(suffix, sizeof suffix, ".%llx-%x.tmp", stamp, counter++);
        temp = target;
        temp += suffix;
        errno = 0;
        if (std::FILE* file = std::fopen(temp.string().c_str(), "wbx"))
            return file;
        if (errno != EEXIST)
            break;
    }
    return nullptr;
}

} // namespace

AtomicFile::~AtomicFile() {
    Discard();
}

AtomicFile::AtomicFile(AtomicFile&& other) noexcept
    : target(std::move(other.target)), temp(std::exchange(other.temp, fs::path())),
      created(other.created), sync(other.sync), reason(std::move(other.reason)) {}

AtomicFile& AtomicFile::operator=(AtomicFile&& other) noexcept {
    if (this != &other) {
        Discard();
        target = std::move(other.target);
        temp = std::exchange(other.temp, fs::path());
        created = other.created;
        sync = other.sync;
        reason = std::move(other.reason);
    }
    return *this;
}

bool AtomicFile::Write(const fs::path& targetPath, const void* bytes, std::size_t size) {
    Discard();
    target = targetPath;
    reason.clear();
    std::FILE* file = CreateBeside(target, temp);
    created = file != nullptr;
    if (!created) {
        reason = std::strerror(errno);
        temp.clear();
        return false;
    }
    errno = 0;
    bool ok = std::fwrite(bytes, 1, size, file) == size && std::fflush(file) == 0 &&
              (!sync || ::fsync(::fileno(file)) == 0);
    int failure = ok ? 0 : errno;
    if (std::fclose(file) != 0 && ok) {
        ok = false;
        failure = errno;
    }
    if (!ok) {
        reason = std::strerror(failure);
        Discard();
    }
    return ok;
}

bool AtomicFile::Commit() {
    if (temp.empty())
        return false;
    std::error_code error;
    fs::rename(temp, target, error);
    if (error) {
        reason = error.message();
        Discard();
        return false;
    }
    temp.clear();
    if (sync) {
        // The rename lives in the folder: flushed with it, it survives a power cut.
        const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
        const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
        if (descriptor >= 0) {
            ::fsync(descriptor);
            ::close(descriptor);
        }
    }
    return true;
}

void AtomicFile::Discard() {
    if (temp.empty())
        return;
    std::error_code ignored;
    fs::remove(temp, ignored);
    temp.clear();
}
