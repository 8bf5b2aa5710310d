#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <utility>

class Core;

// What --watch does: notices changes to the files under the resource folder's Scripts/, and to
// every module the game loaded (npm packages included), while the game runs, and then starts the
// scene again in the same window: all objects and the panels scripts made are cleared, the
// per-frame function is dropped, the module registry starts afresh, and postInit.js and the
// game's entry module run again. A script that does not compile is reported and the running scene
// is kept. Model files already in the graphics system's cache are read again in place when they
// change, so everything showing them updates. Called once a frame, it looks at the files four
// times a second.
class LiveReload {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kPollInterval{250};

    LiveReload(Core& core, std::filesystem::path scripts);

    void Update(Clock::time_point now = Clock::now());
    std::uint32_t GetReloadCount() const { return reloads; }
    std::uint32_t GetRefusedCount() const { return refused; }
    std::uint32_t GetModelReloadCount() const { return modelReloads; }

  private:
    using Snapshot =
        std::map<std::string, std::pair<std::filesystem::file_time_type, std::uintmax_t>>;
    Snapshot Take() const;
    bool ScriptsCompile() const;
    void Reload();
    void ReloadChangedModels();

    Core& core;
    std::filesystem::path folder;
    Snapshot last;
    Clock::time_point nextPoll;
    std::uint32_t reloads = 0;
    std::uint32_t refused = 0;
    // Cached model files by cache name, with the write time last seen.
    std::map<std::string, std::filesystem::file_time_type> modelTimes;
    std::uint32_t modelReloads = 0;
};
