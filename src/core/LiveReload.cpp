#include "core/LiveReload.h"

#include <cstdio>
#include <system_error>
#include <vector>

#include "core/Core.h"
#include "core/Path.h"
#include "graphics/GraphicsSystem.h"
#include "input/Gamepads.h"
#include "logic/GameLogicSystem.h"
#include "logic/GameState.h"
#include "logic/ScriptGameState.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "script/ModuleLoader.h"
#include "script/ScriptHost.h"
#include "tools/AntBarSystem.h"

namespace fs = std::filesystem;

LiveReload::LiveReload(Core& core, fs::path scripts)
    : core(core), folder(std::move(scripts)), last(Take()), nextPoll(Clock::now()) {}

LiveReload::Snapshot LiveReload::Take() const {
    Snapshot snapshot;
    std::error_code error;
    // A file being saved may vanish between listing and reading: it simply counts as
    // changed, and the next look sees how it ended up.
    for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
        // Installed packages can hold thousands of files: only the ones the
        // game loaded are watched, below.
        if (it->path().filename() == "node_modules") {
            it.disable_recursion_pending();
            continue;
        }
        std::error_code fileError;
        if (!it->is_regular_file(fileError))
            continue;
        const auto time = fs::last_write_time(it->path(), fileError);
        const auto size = fs::file_size(it->path(), fileError);
        snapshot[it->path().string()] = {time, fileError ? 0 : size};
    }
    // Every module the game loaded counts too, packages and files elsewhere included.
    if (const ModuleLoader* modules = ScriptHost::Instance().GetModules())
        for (const std::string& file : modules->GetModuleFiles()) {
            if (snapshot.count(file))
                continue;
            std::error_code fileError;
            const auto time = fs::last_write_time(file, fileError);
            const auto size = fs::file_size(file, fileError);
            snapshot[file] = {time, fileError ? 0 : size};
        }
    return snapshot;
}

void LiveReload::Update(Clock::time_point now) {
    if (now < nextPoll)
        return;
    nextPoll = now + kPollInterval;
    ReloadChangedModels();
    Snapshot current = Take();
    if (current == last)
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
}

bool LiveReload::ScriptsCompile() const {
    bool ok = true;
    for (const auto& [path, stamp] : last) {
        const fs::path file(path);
        // Installed packages are not the game's to fix, and there may be thousands.
        if ((file.extension() == ".js" || file.extension() == ".mjs") &&
            path.find("/node_modules/") == std::string::npos)
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
    // The scripts start again as at launch, with no game state current: a
    // state made current again then builds its scene as it did the first
    // time, where one left current would swallow the scripts' request and
    // leave the cleared scene empty.
    GameState* left = core.GameLogicSystem_->LeaveCurrentGameState();
    ScriptGameState& scriptState = ScriptGameState::Instance();
    // Its functions belong to the scripts about to be replaced.
    scriptState.initializeFunction.Reset();
    scriptState.updateFunction.Reset();
    scriptState.cleanupFunction.Reset();
    core.objectManager->ClearAllObjects();
    core.GameLogicSystem_->updateFunction.Reset();
    // The scripts that set them run again and set them again.
    ScriptHost::Instance().GetTimers().Clear();
    Gamepads::Instance().ClearListeners();
    // Panels the scripts made go now, before the scripts make them again; the
    // engine's own profile panels stay.
    std::vector<std::string> scriptBars;
    for (const auto& [name, entry] : AntBarSystem::GetBars())
        if (name != core.profileBarName && name != "GameLogicProfile")
            scriptBars.push_back(name);
    for (const std::string& name : scriptBars)
        core.BroadcastMessage(TryCreateMessage<DeleteBarMessage>(name));
    core.AntBarSystem_->Update(0.0f);
    ++reloads;
    std::fprintf(stderr, "Live reload: the scripts changed; running postInit.js again.\n");
    std::fflush(stderr);
    // A fresh registry: every module, changed or importing one that changed, runs again.
    ScriptHost& scripts = ScriptHost::Instance();
    scripts.ResetModules();
    scripts.RunFile(core.GetResourcePath("Scripts/postInit.js"));
    scripts.RunGameEntry(core.GetResourcePath("Scripts/"));
    if (left && core.GameLogicSystem_->GetCurrentGameState() != left) {
        std::fprintf(stderr, "Live reload: the game state that was running was left; the game "
                             "goes on from what its scripts started.\n");
        std::fflush(stderr);
    }
}
