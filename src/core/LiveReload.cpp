#include "core/LiveReload.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <system_error>

#include "base/Path.h"
#include "core/Core.h"
#include "core/System.h"
#include "graphics/GraphicsSystem.h"
#include "logic/GameLogicSystem.h"
#include "objects/ObjectManager.h"
#include "scene/Scene.h"
#include "script/LocalStorage.h"
#include "script/ModuleLoader.h"
#include "script/ScriptHost.h"

namespace fs = std::filesystem;

namespace {

// Swap, backup and temporary files an editor keeps next to the file it saves end in
// something else (.swp, ~, .tmp, ___jb_tmp___), so they never count.
bool IsScriptFile(const fs::path& file) {
    const fs::path extension = file.extension();
    return extension == ".js" || extension == ".mjs" || extension == ".cjs" ||
           extension == ".json" || extension == ".ts" || extension == ".mts" || extension == ".cts";
}

// Files whose syntax is checked before a reload: modules and classic scripts, in
// JavaScript or TypeScript (CommonJS files are only read when required).
bool IsCheckedFile(const fs::path& file) {
    const fs::path extension = file.extension();
    return extension == ".js" || extension == ".mjs" || extension == ".ts" || extension == ".mts";
}

std::size_t HashContents(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << file.rdbuf();
    return file ? std::hash<std::string>()(bytes.str()) : 0;
}

} // namespace

LiveReload::LiveReload(Core& core, fs::path scripts)
    : core(core), folder(std::move(scripts)), last(Take({})), seen(last), nextPoll(Clock::now()) {}

LiveReload::Snapshot LiveReload::Take(const Snapshot& known) const {
    Snapshot snapshot;
    // A file being saved may vanish between listing and reading: it simply counts as
    // changed, and the next look sees how it ended up.
    const auto add = [&](const std::string& path) {
        std::error_code error;
        Stamp stamp;
        stamp.time = fs::last_write_time(path, error);
        stamp.size = error ? 0 : fs::file_size(path, error);
        if (error)
            stamp.size = 0;
        const auto before = known.find(path);
        stamp.contents = before != known.end() && before->second.time == stamp.time &&
                                 before->second.size == stamp.size
                             ? before->second.contents
                             : HashContents(path);
        snapshot[path] = stamp;
    };
    std::error_code error;
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        // Installed packages can hold thousands of files: only the ones the
        // game loaded are watched, below.
        if (it->path().filename() == "node_modules") {
            it.disable_recursion_pending();
            continue;
        }
        std::error_code fileError;
        if (it->is_regular_file(fileError) && IsScriptFile(it->path()))
            add(it->path().string());
    }
    // Every module the game loaded counts too, packages and files elsewhere included.
    if (const ModuleLoader* modules = ScriptHost::Instance().GetModules())
        for (const std::string& file : modules->GetModuleFiles())
            if (!snapshot.count(file))
                add(file);
    return snapshot;
}

bool LiveReload::SameContents(const Snapshot& a, const Snapshot& b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
               return x.first == y.first && x.second.size == y.second.size &&
                      x.second.contents == y.second.contents;
           });
}

void LiveReload::Update(Clock::time_point now) {
    if (now < nextPoll)
        return;
    nextPoll = now + kPollInterval;
    ReloadChangedModels();
    Snapshot current = Take(seen);
    const bool settled = SameContents(current, seen);
    seen = current;
    // Still being saved (or saved again meanwhile): the next quiet look decides. A save
    // that leaves the contents as they ran (a second identical write, a new mode) is no
    // change at all.
    if (!settled || SameContents(current, last))
        return;
    last = std::move(current);
    if (!ScriptsCompile()) {
        ++refused;
        std::fprintf(stderr, "Live reload: a script does not compile (above); the running "
                             "scene is kept.\n");
        std::fflush(stderr);
        return;
    }
    Reload();
    // The scripts may have loaded modules they did not before, or stopped loading some:
    // the files watched are now the ones they load, which is no change in itself. Files
    // watched before keep their stamps, so one saved during the reload still counts.
    Snapshot watched = Take(last);
    for (auto& [path, stamp] : watched)
        if (const auto before = last.find(path); before != last.end())
            stamp = before->second;
    last = watched;
    seen = std::move(watched);
}

bool LiveReload::ScriptsCompile() const {
    bool ok = true;
    for (const auto& [path, stamp] : last) {
        const fs::path file(path);
        // Installed packages are not the game's to fix, and there may be thousands.
        if (IsCheckedFile(file) && path.find("/node_modules/") == std::string::npos)
            ok = ScriptHost::Instance().CheckFile(path) && ok; // every error is worth seeing
    }
    return ok;
}

void LiveReload::ReloadChangedModels() {
    for (auto& [name, model] : core.GraphicsSystem_->modelCache) {
        std::error_code error;
        const auto time = fs::last_write_time(ResolvePath(name), error);
        if (error)
            continue; // gone for now, maybe being replaced: the next look will tell
        const auto seen = modelTimes.find(name);
        if (seen == modelTimes.end()) {
            modelTimes.emplace(name, time);
            continue;
        }
        if (seen->second == time)
            continue;
        seen->second = time;
        // In place: components hold the model itself. A file that cannot be read
        // leaves the model as it was.
        if (model.LoadFromFile(name)) {
            ++modelReloads;
            std::fprintf(stderr, "Live reload: model %s read again.\n", name.c_str());
            std::fflush(stderr);
        }
    }
}

void LiveReload::Reload() {
    // The store is the player's, not the scripts': it stays as it is, on disk first.
    LocalStorage::Instance().Flush();
    // The scripts start again as at launch, with no game state current: a
    // state made current again then builds its scene as it did the first
    // time, where one left current would swallow the scripts' request and
    // leave the cleared scene empty.
    // Held through the reload only to tell below whether the scripts took it up again.
    const HeldGameState left(core.GameLogicSystem_->GetCurrentGameState());
    core.GameLogicSystem_->LeaveCurrentGameState();
    core.objectManager->ClearAllObjects();
    // Every function the old scripts left with a system, and what they made
    // through it (panels, timers, listeners), goes now, after the objects: their
    // destruct functions are the old scripts' too. The scripts run again and
    // set them again.
    for (Core::System* system : core.GetSystems())
        system->ForgetScriptState();
    Scene::Instance().ForgetScriptState();
    ++reloads;
    std::fprintf(stderr, "Live reload: the scripts changed; running %s again.\n",
                 DescribeRerun().c_str());
    std::fflush(stderr);
    // A fresh registry: every module, changed or importing one that changed, runs again.
    ScriptHost& scripts = ScriptHost::Instance();
    scripts.ResetModules();
    core.RunStartupScript("postInit.js");
    scripts.RunGameEntry(core.GetResourcePath("Scripts/"));
    if (left && core.GameLogicSystem_->GetCurrentGameState() != left.Get()) {
        std::fprintf(stderr, "Live reload: the game state that was running was left; the game "
                             "goes on from what its scripts started.\n");
        std::fflush(stderr);
    }
}

std::string LiveReload::EntryModule() const {
    // The one RunGameEntry runs.
    if (ScriptHost::Instance().GetModules() == nullptr)
        return std::string();
    return ModuleLoader::FindGameEntry(core.GetResourcePath("Scripts/"));
}

std::string LiveReload::DescribeRerun() const {
    const std::string entry = EntryModule();
    std::string named;
    if (!entry.empty()) {
        std::error_code error;
        const fs::path relative =
            fs::relative(entry, ResolvePath(core.GetResourcePath("Scripts/")), error);
        named = error || relative.empty() ? entry : relative.generic_string();
    }
    if (!core.RunsStartupScript("postInit.js"))
        return named;
    return named.empty() ? "postInit.js" : "postInit.js and " + named;
}
