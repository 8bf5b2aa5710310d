// Scene files: saving, loading, names and behaviours.

#include "scene/Scene.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "base/AtomicFile.h"
#include "base/Path.h"
#include "base/WritableFolders.h"
#include "objects/ObjectManager.h"
#include "scene/SceneLoader.h"
#include "scene/SceneSaver.h"

using scene::Json;

namespace {

// The folder of a scene file in the game's folder ("Levels"), for the module
// names of its behaviours; empty for a file outside it.
std::string FolderOf(const std::string& path) {
    std::string relative;
    if (!scene::GameRelativeName(path, relative))
        return std::string();
    return std::filesystem::path(relative).parent_path().generic_string();
}

} // namespace

template <class T> bool Scene::Holds(const PerObject<T>& kept, const GameObject& obj) {
    return kept.generation == obj.generation && kept.clears == ObjectManager::ClearCount();
}

Scene& Scene::Instance() {
    static Scene scene;
    return scene;
}

Json Scene::ToJson(std::vector<GameObject> list, const std::string& folder) const {
    return scene::SaveObjects(*this, std::move(list), folder);
}

std::optional<std::vector<GameObject>> Scene::FromJson(const Json& file, const std::string& source,
                                                       const std::string& folder,
                                                       const Placement& placement,
                                                       std::string& error) {
    return SceneLoader(*this, source, folder).Load(file, placement, error);
}

bool Scene::Save(const std::string& path, const std::vector<GameObject>& list, std::string& error) {
    if (!objects) {
        error = "there is no object manager to save objects of";
        return false;
    }
    const std::string target = ResolveWritePath(path);
    if (std::string outside; !IsWritablePath(target, outside)) {
        error = "cannot write " + path + ": " + outside + "; nothing was written";
        return false;
    }
    const std::string text =
        scene::SaveText(*this, list.empty() ? objects->GetLiveObjects() : list, FolderOf(path));
    // A level goes in a folder of its own ("Levels/") that a new game does not have yet.
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(target).parent_path(), ignored);
    AtomicFile out;
    if (!out.Write(target, text.data(), text.size()) || !out.Commit()) {
        error = "cannot write " + path + ": " + out.GetReason();
        return false;
    }
    return true;
}

std::optional<std::vector<GameObject>> Scene::Load(const std::string& path, std::string& error) {
    return Load(path, Placement(), error);
}

std::optional<std::vector<GameObject>> Scene::Load(const std::string& path,
                                                   const Placement& placement, std::string& error) {
    const std::string file = ResolvePath(path);
    std::string problem;
    if (!IsRegularFile(file, problem)) {
        error = path + ": " + problem;
        return std::nullopt;
    }
    // Read in one go: a level is megabytes, and a stream copies it twice.
    std::ifstream in(file, std::ios::binary | std::ios::ate);
    std::string text;
    if (in) {
        text.resize(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)));
        in.seekg(0);
        in.read(text.data(), static_cast<std::streamsize>(text.size()));
    }
    if (!in) {
        error = path + ": cannot be read";
        return std::nullopt;
    }
    Json parsed;
    if (!scene::ParseText(text, parsed, problem)) {
        error = path + ": " + problem;
        return std::nullopt;
    }
    std::optional<std::vector<GameObject>> made =
        FromJson(parsed, path, FolderOf(path), placement, error);
    if (made)
        for (const GameObject& obj : *made)
            SetSourceFile(obj, path);
    return made;
}

std::string Scene::GetSourceFile(const GameObject& obj) const {
    const auto found = sources.find(obj.id);
    return found != sources.end() && Holds(found->second, obj) && ObjectManager::IsValid(obj)
               ? found->second.value
               : std::string();
}

void Scene::SetName(const GameObject& obj, const std::string& name) {
    if (name.empty())
        names.erase(obj.id);
    else
        names[obj.id] = {obj.generation, ObjectManager::ClearCount(), name};
}

std::string Scene::GetName(const GameObject& obj) const {
    const auto found = names.find(obj.id);
    return found != names.end() && Holds(found->second, obj) && ObjectManager::IsValid(obj)
               ? found->second.value
               : std::string();
}

std::optional<GameObject> Scene::Find(const std::string& name) const {
    for (const auto& [id, named] : names) {
        const GameObject obj(id, named.generation);
        if (named.value == name && Holds(named, obj) && ObjectManager::IsValid(obj))
            return obj;
    }
    return std::nullopt;
}

bool Scene::Attach(const GameObject& obj, Behaviour behaviour, std::string& error) {
    if (!ObjectManager::IsValid(obj)) {
        error = "the object no longer exists";
        return false;
    }
    if (!runBehaviour) {
        error = "behaviours cannot run without scripts";
        return false;
    }
    // Kept only once it ran: a module that cannot run is not saved with the object.
    if (!runBehaviour(obj, behaviour, error))
        return false;
    auto& kept = behaviours[obj.id];
    if (!Holds(kept, obj))
        kept = {obj.generation, ObjectManager::ClearCount(), {}};
    kept.value.push_back(std::move(behaviour));
    return true;
}

std::vector<Scene::Behaviour> Scene::GetBehaviours(const GameObject& obj) const {
    const auto found = behaviours.find(obj.id);
    if (found == behaviours.end() || !Holds(found->second, obj))
        return {};
    return found->second.value;
}

Scene::Record Scene::GetRecord(const GameObject& obj) const {
    return {GetName(obj), GetBehaviours(obj), GetSourceFile(obj)};
}

void Scene::SetRecord(const GameObject& obj, Record record) {
    SetName(obj, record.name);
    SetSourceFile(obj, record.source);
    if (record.behaviours.empty())
        behaviours.erase(obj.id);
    else
        behaviours[obj.id] = {obj.generation, ObjectManager::ClearCount(),
                              std::move(record.behaviours)};
}

void Scene::SetSourceFile(const GameObject& obj, const std::string& path) {
    if (path.empty())
        sources.erase(obj.id);
    else
        sources[obj.id] = {obj.generation, ObjectManager::ClearCount(), path};
}

template <class T> void Scene::DropGone(std::map<std::uint32_t, PerObject<T>>& kept) {
    for (auto it = kept.begin(); it != kept.end();) {
        const GameObject obj(it->first, it->second.generation);
        if (Holds(it->second, obj) && ObjectManager::IsValid(obj))
            ++it;
        else
            it = kept.erase(it);
    }
}

void Scene::ForgetScriptState() {
    behaviours.clear();
    DropGone(names);
    DropGone(sources);
}
