#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>

class Core;

// What --watch does: notices changes to the scripts under the resource folder's Scripts/, and to
// every module the game loaded (npm packages included), while the game runs, and then starts the
// scene again in the same window: all objects are cleared, every system forgets what the scripts
// left with it (System::ForgetScriptState: the per-frame function, timers, listeners, the panels
// scripts made), the module registry starts afresh, and postInit.js and the game's entry module
// run again. A script that does not compile is reported and the running scene is kept. Model
// files already in the graphics system's cache are read again in place when they change, so
// everything showing them updates. Called once a frame, it looks at the files four times a
// second.
//
// Editors save in steps (truncate then write, write a temporary file then rename it, write then
// change the mode) and keep swap and backup files next to the one edited. So only script files
// count (.js, .mjs, .cjs, .json), a change counts once a look finds the files as the look before
// did, and only a change of their contents counts: one save is one reload.
class LiveReload {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPollInterval{250};

    LiveReload(Core& core, std::filesystem::path scripts);

    void Update(Clock::time_point now = Clock::now());
    std::uint32_t GetReloadCount() const { return reloads; }
    std::uint32_t GetRefusedCount() const { return refused; }
    std::uint32_t GetModelReloadCount() const { return modelReloads; }

    // What a reload runs again, as it says so: postInit.js when the game has it, and the
    // entry module, named from the Scripts/ folder ("postInit.js and main.mjs").
    std::string DescribeRerun() const;

  private:
    std::string EntryModule() const;

    struct Stamp {
        std::filesystem::file_time_type time;
        std::uintmax_t size = 0;
        std::size_t contents = 0; // hash of the bytes; 0 for a file that could not be read
    };
    using Snapshot = std::map<std::string, Stamp>;
    // Contents are read again only for files whose time or size differ from `known`.
    Snapshot Take(const Snapshot& known) const;
    static bool SameContents(const Snapshot& a, const Snapshot& b);
    bool ScriptsCompile() const;
    void Reload();
    void ReloadChangedModels();

    Core& core;
    std::filesystem::path folder;
    // The files as the running scene was built from them, and as the last look saw them.
    Snapshot last;
    Snapshot seen;
    Clock::time_point nextPoll;
    std::uint32_t reloads = 0;
    std::uint32_t refused = 0;
    // Cached model files by cache name, with the write time last seen.
    std::map<std::string, std::filesystem::file_time_type> modelTimes;
    std::uint32_t modelReloads = 0;
};
