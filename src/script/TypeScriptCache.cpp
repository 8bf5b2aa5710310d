// Erased TypeScript on disk: entries named and checked by content hashes.

#include "script/TypeScriptCache.h"

#include <algorithm>
#include <ctime>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/AtomicFile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFormat = "marrowvale-erased-typescript 1";

// FNV-1a over 128 bits: no two texts a game holds meet by chance, and an
// entry damaged anywhere fails its check. Not a defence against someone who
// writes colliding files on purpose into the player's own save folder.
using Hash = unsigned __int128;

constexpr Hash Combine(Hash hash, std::string_view bytes) {
    constexpr Hash kPrime = (Hash(1) << 88) + 0x13B;
    for (const char c : bytes) {
        hash ^= static_cast<unsigned char>(c);
        hash *= kPrime;
    }
    return hash;
}

Hash HashOf(std::string_view first, std::string_view second = {}) {
    constexpr Hash kOffset = (Hash(0x6c62272e07bb0142ULL) << 64) | 0x62b821756295c58dULL;
    // The length keeps ("ab", "c") and ("a", "bc") apart.
    return Combine(Combine(Combine(kOffset, first), std::to_string(first.size()) + "\n"), second);
}

std::string Hex(Hash hash) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text(32, '0');
    for (int i = 31; i >= 0; --i, hash >>= 4)
        text[static_cast<std::size_t>(i)] = kDigits[static_cast<unsigned>(hash & 15)];
    return text;
}

} // namespace

TypeScriptCache::TypeScriptCache(std::string version) : version(std::move(version)) {}

void TypeScriptCache::SetFolder(const fs::path& to) {
    if (to == folder)
        return;
    folder = to;
    unwritable = false;
    measured = false;
    bytes = 0;
}

fs::path TypeScriptCache::EntryOf(const std::string& source, std::string& key) const {
    key = Hex(HashOf(version, source));
    return folder / (key + ".erased");
}

std::string TypeScriptCache::Header(const std::string& key, const std::string& source,
                                    const std::string& erased) const {
    return std::string(kFormat) + " " + version + "\n" + key + " " + std::to_string(source.size()) +
           " " + std::to_string(erased.size()) + " " + Hex(HashOf(erased)) + "\n";
}

bool TypeScriptCache::Load(const std::string& source, std::string& erased) {
    if (folder.empty())
        return false;
    std::string key;
    const fs::path entry = EntryOf(source, key);
    // A start reads hundreds of entries: as few calls to the system as can be.
    const int descriptor = ::open(entry.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0)
        return false;
    struct stat status {};
    std::string text;
    // The header, then a text of at most the biggest kept: anything longer is
    // not an entry, and is not read.
    bool read =
        ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode) && status.st_size > 0 &&
        static_cast<std::uintmax_t>(status.st_size) <= kMaxEntryBytes + 1024 + version.size();
    if (read) {
        text.resize(static_cast<std::size_t>(status.st_size));
        std::size_t done = 0;
        while (done < text.size()) {
            const ssize_t got = ::read(descriptor, text.data() + done, text.size() - done);
            if (got <= 0)
                break;
            done += static_cast<std::size_t>(got);
        }
        read = done == text.size();
    }
    const std::size_t first = read ? text.find('\n') : std::string::npos;
    const std::size_t second = first == std::string::npos ? first : text.find('\n', first + 1);
    bool whole = false;
    if (second != std::string::npos) {
        std::string body = text.substr(second + 1);
        whole = text.compare(0, second + 1, Header(key, source, body)) == 0;
        if (whole)
            erased = std::move(body);
    }
    // Used now: the last to go when the folder is trimmed. Marked once an hour at
    // most, so that a start does not write to the disk for every file.
    if (whole && std::time(nullptr) - status.st_mtime > 3600)
        ::futimens(descriptor, nullptr);
    ::close(descriptor);
    loaded += whole ? 1 : 0;
    return whole;
}

void TypeScriptCache::Save(const std::string& source, const std::string& erased) {
    if (folder.empty() || unwritable || erased.size() > kMaxEntryBytes)
        return;
    std::error_code error;
    fs::create_directories(folder, error);
    if (error) {
        unwritable = true;
        return;
    }
    std::string key;
    const fs::path entry = EntryOf(source, key);
    const std::string text = Header(key, source, erased) + erased;
    AtomicFile out;
    if (!out.Write(entry, text.data(), text.size()) || !out.Commit()) {
        unwritable = !out.IsCreated();
        return;
    }
    ++saved;
    if (measured) {
        bytes += text.size();
    } else {
        measured = true;
        bytes = 0;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error))
            if (it->is_regular_file(error))
                bytes += it->file_size(error);
    }
    if (bytes > kMaxBytes)
        Trim();
}

void TypeScriptCache::Trim() {
    struct Found {
        fs::file_time_type used;
        std::uintmax_t size;
        fs::path path;
    };
    std::vector<Found> entries;
    std::error_code error;
    bytes = 0;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code ignored;
        if (!it->is_regular_file(ignored))
            continue;
        entries.push_back({it->last_write_time(ignored), it->file_size(ignored), it->path()});
        bytes += entries.back().size;
    }
    std::sort(entries.begin(), entries.end(),
              [](const Found& a, const Found& b) { return a.used < b.used; });
    for (const Found& found : entries) {
        if (bytes <= kMaxBytes / 4 * 3)
            break;
        std::error_code ignored;
        if (fs::remove(found.path, ignored))
            bytes -= std::min(bytes, found.size);
    }
}
