#pragma once

// A game's saved data as scripts know it from browsers: localStorage, string
// keys to string values, kept per game in a file of the save folder (or of the
// game's folder without one) so that a player's progress survives restarts,
// crashes and kills. Scripts reach it through the Storage class; this side
// knows nothing of scripts.
//
// Changes are kept in memory and written at the end of the frame that made
// them and at exit, in one piece: a new file written beside the old, synced to
// disk, then renamed over it, so the file holds the old contents or the new,
// never a mix. The frame encodes what changed; the disk is waited for on a
// thread of its own. A frame that changed nothing costs a test of two flags.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "base/AtomicFileWriter.h"

class LocalStorage {
  public:
    // As browsers count it: the UTF-16 code units of every key and value,
    // 5 MiB of them.
    static constexpr std::size_t kQuotaUnits = std::size_t(5) << 20;
    static constexpr const char* kFileName = "localStorage.json";
    static constexpr const char* kFormat = "marrowvale-local-storage";
    static constexpr unsigned kVersion = 1;
    // What a full store can take on disk (escapes, code units written as
    // numbers); a bigger file is not read at all.
    static constexpr std::uintmax_t kMaxFileBytes = kQuotaUnits * 6 + (std::uintmax_t(1) << 20);

    // The running game's store: its file is in the save folder, or in the
    // game's resource folder when there is none, and follows them when they
    // change. Read on first use; what changed is saved at exit too.
    static LocalStorage& Instance();

    // A store kept in `file`, read on first use.
    explicit LocalStorage(std::filesystem::path file);
    // Saves what changed.
    ~LocalStorage();
    LocalStorage(const LocalStorage&) = delete;
    LocalStorage& operator=(const LocalStorage&) = delete;

    std::optional<std::u16string> GetItem(const std::u16string& key);
    // False, changing nothing, when the store would go over its quota.
    bool SetItem(const std::u16string& key, const std::u16string& value);
    void RemoveItem(const std::u16string& key);
    void Clear();
    // The key at `index` in the store's order (by code units); none past the end.
    std::optional<std::u16string> Key(std::size_t index);
    std::size_t GetLength();
    // Code units of all keys and values, as the quota counts them.
    std::size_t GetUsedUnits();

    // Writes the store if it changed since it was last written; the frame loop
    // calls it after every frame. The file is written on the writer's thread; a
    // failed write is reported once and tried again at the next call.
    void SaveChanges() {
        if (changed || writer.HasFailure())
            Save();
    }
    // Saves what changed and returns once the file is written: at exit, before
    // a reload, and for whoever reads the file next.
    void Flush();
    bool HasChanges() const { return changed; }
    // Why saving fails, as said in the warning; empty once a write succeeds.
    const std::string& GetFailure() const { return lastFailure; }
    const std::filesystem::path& GetFile() const { return file; }

  private:
    LocalStorage() = default; // the game's, following its folders

    void Ready();
    void Load();
    void RemoveLeftovers();
    // Moves a file that is not a store out of the way, keeping it for the
    // player, and says so; `why` is what is wrong with it.
    void SetAside(const std::string& why);
    void Save();
    // Takes a failure of the writer, says so once, and marks the store changed.
    void TakeFailure();
    void Changed();

    std::filesystem::path file;
    bool followsGame = false;
    std::string folder; // the game folder the file was taken from, when following
    bool loaded = false;
    bool changed = false;
    // A file that could neither be read nor set aside is never written over.
    bool saveRefused = false;
    std::string lastFailure; // of the last write, said once
    struct Item {
        std::u16string value;
        // The item as the file holds it; empty until written, and again once changed,
        // so that a save encodes only what changed since the last.
        std::string line;
    };
    std::map<std::u16string, Item> items;
    std::size_t savedBytes = 0; // the size of the file last written
    AtomicFileWriter writer;
    std::size_t usedUnits = 0;
    // Where Key() last was, so that a loop over every index walks the map once.
    std::size_t cursorIndex = 0;
    std::map<std::u16string, Item>::const_iterator cursor;
    bool cursorValid = false;
};
