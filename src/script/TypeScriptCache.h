#pragma once

// Erased TypeScript kept on disk between runs, so that a second start of a
// game does not start the type stripper at all. One file an entry, named by a
// hash of the stripper's version and the source text; the file repeats both
// and a hash of the erased text, so an entry that is damaged, cut short,
// written by another stripper or for another source is never used (the caller
// erases again and the entry is written anew). Entries are written beside and
// renamed into place; the least recently used go once the folder holds more
// than kMaxBytes. Nothing here is ever an error a game sees: a folder that
// cannot be read or written is only a cache that misses.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

class TypeScriptCache {
  public:
    // What the entries of one folder may take; past it the oldest are removed
    // down to three quarters of it.
    static constexpr std::uintmax_t kMaxBytes = std::uintmax_t(64) << 20;
    // A text bigger than this is not kept.
    static constexpr std::size_t kMaxEntryBytes = std::size_t(8) << 20;
    // Where the entries go under the folder the game saves in.
    static constexpr const char* kFolderName = ".cache/typescript";

    // `version` names the stripper and how it is called: entries made under
    // another are never read.
    explicit TypeScriptCache(std::string version);

    // The folder entries are read from and written to; empty: none.
    void SetFolder(const std::filesystem::path& folder);
    const std::filesystem::path& GetFolder() const { return folder; }

    // The erased text kept for `source`; false when there is none that is whole
    // and made by this version for this very text.
    bool Load(const std::string& source, std::string& erased);
    // Keeps `erased` as the text of `source`, replacing what was there.
    void Save(const std::string& source, const std::string& erased);

    // Since this cache was made: entries used, and entries written.
    std::size_t GetLoadedCount() const { return loaded; }
    std::size_t GetSavedCount() const { return saved; }

  private:
    std::filesystem::path EntryOf(const std::string& source, std::string& key) const;
    std::string Header(const std::string& key, const std::string& source,
                       const std::string& erased) const;
    void Trim();

    std::string version;
    std::filesystem::path folder;
    bool unwritable = false; // the folder could not be made: no write is tried
    bool measured = false;   // `bytes` holds what the folder takes
    std::uintmax_t bytes = 0;
    std::size_t loaded = 0;
    std::size_t saved = 0;
};
