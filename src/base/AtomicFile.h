#pragma once

// Writing a file so that a reader, or a crash half-way, finds the old contents
// or the new, never a mix: the bytes go to a new file beside the target, which
// then is renamed over it. Every file the engine writes goes this way.

#include <cstddef>
#include <filesystem>
#include <string>

class AtomicFile {
  public:
    AtomicFile() = default;
    // Removes the file written beside the target unless it was put in place.
    ~AtomicFile();
    AtomicFile(AtomicFile&& other) noexcept;
    AtomicFile& operator=(AtomicFile&& other) noexcept;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    // Writes `bytes` to a new file beside `target`, leaving the target as it is.
    // False when the file could not be created (IsCreated tells) or written;
    // then nothing is left behind and GetReason says why.
    bool Write(const std::filesystem::path& target, const void* bytes, std::size_t size);
    // Renames the written file over the target. Several files written first and
    // put in place after keep a failure to write from touching any of them.
    bool Commit();

    // With sync, Write puts the bytes on the disk before it returns and Commit
    // the rename too, so that even a power cut leaves the old file or the new.
    // Costs a disk flush each: for files a player cannot lose (saved games).
    void SetSync(bool on) { sync = on; }

    bool IsCreated() const { return created; }
    const std::filesystem::path& GetTarget() const { return target; }
    // The system's words for the last failure ("No space left on device").
    const std::string& GetReason() const { return reason; }

  private:
    void Discard();

    std::filesystem::path target;
    std::filesystem::path temp; // empty when there is nothing to remove
    bool created = false;
    bool sync = false;
    std::string reason;
};
