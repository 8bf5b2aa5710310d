#pragma once

// Levels and prefabs as files. A scene file holds game objects with every
// attached component and every property the binding tables let C++ read and
// write (scene/SceneSaver.h), their names and their behaviours; loading one
// makes new objects from it, all or none (scene/SceneLoader.h). A scene file
// never runs code: behaviours are game modules named by the file, imported
// from the game's folder and run once every object of the file exists.
//
// The C++ side for engine tools: Save/Load for files, ToJson/FromJson for
// objects in memory (a copy of one object is a round trip of one).

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include <glm/gtc/quaternion.hpp>
#include <glm/vec3.hpp>

#include "objects/GameObject.h"
#include "scene/SceneText.h"
#include "script/ScriptData.h"

class ObjectManager;

class Scene {
  public:
    static Scene& Instance();

    // The manager whose objects are saved and made; set by the engine at start-up.
    void SetObjectManager(ObjectManager* manager) { objects = manager; }
    ObjectManager* GetObjectManager() const { return objects; }

    // Writes `list` (every live object when it is empty) to `path` (as scripts
    // name files: "../resource/Levels/a.json"), atomically. False with `error`
    // set when the path is outside the game's folders or cannot be written.
    bool Save(const std::string& path, const std::vector<GameObject>& list, std::string& error);
    // The new objects, initialized, their behaviours run; null with `error` set
    // (naming the file, the object's index and the property's JSON path) and
    // nothing made when the file is not a valid scene file.
    std::optional<std::vector<GameObject>> Load(const std::string& path, std::string& error);

    // Where a loaded file's objects go: moved and turned about the origin.
    struct Placement {
        glm::vec3 position{0.0f};
        glm::quat orientation{1.0f, 0.0f, 0.0f, 0.0f};
    };
    std::optional<std::vector<GameObject>> Load(const std::string& path, const Placement& placement,
                                                std::string& error);

    // The objects (in id order) as a scene file in `folder` (of the game's
    // folder; empty for the game's folder itself) holds them.
    scene::Json ToJson(std::vector<GameObject> list,
                       const std::string& folder = std::string()) const;
    // New objects from a scene file's JSON; `source` names it in errors,
    // `folder` (of the game's folder) is where its behaviours' module names
    // start from.
    std::optional<std::vector<GameObject>> FromJson(const scene::Json& scene,
                                                    const std::string& source,
                                                    const std::string& folder,
                                                    const Placement& placement, std::string& error);

    // The file an object was loaded from (as Load was given it), for a tool
    // that saves a level back where it came from; empty for one made otherwise.
    std::string GetSourceFile(const GameObject& obj) const;

    // Names: any string; an empty one removes the name.
    void SetName(const GameObject& obj, const std::string& name);
    std::string GetName(const GameObject& obj) const;
    // The live object with the name and the lowest id.
    std::optional<GameObject> Find(const std::string& name) const;

    // A game module run with an object and data: `module` is its path in the
    // game's folder ("Scripts/door.mjs").
    struct Behaviour {
        std::string module;
        ScriptData data;
    };
    // Runs a behaviour: set by the script binding, which can import modules.
    // False with `error` set when the module cannot be imported or its default
    // export is no function.
    using BehaviourRunner =
        std::function<bool(const GameObject&, const Behaviour&, std::string& error)>;
    void SetBehaviourRunner(BehaviourRunner runner) { runBehaviour = std::move(runner); }
    // Runs the behaviour and, once it ran, keeps it with the object (it is
    // saved with it).
    bool Attach(const GameObject& obj, Behaviour behaviour, std::string& error);
    std::vector<Behaviour> GetBehaviours(const GameObject& obj) const;

    // What a scene keeps for an object beside its components: its name, its
    // behaviours and the file it was loaded from. A tool that deletes an
    // object and makes it again (an undo) hands it on, so the object keeps
    // its place in its level without its behaviours running twice.
    struct Record {
        std::string name;
        std::vector<Behaviour> behaviours;
        std::string source;
    };
    Record GetRecord(const GameObject& obj) const;
    void SetRecord(const GameObject& obj, Record record);
    // The file an object is saved back to; empty for none.
    void SetSourceFile(const GameObject& obj, const std::string& path);

    // Drops names and source files kept for objects that are gone, and every
    // behaviour when the scripts restart (live reload).
    void ForgetScriptState();

  private:
    // What is kept for an object: a clear of the world restarts ids and
    // generations, so the clear count tells an entry from before it.
    template <class T> struct PerObject {
        std::uint32_t generation;
        std::uint64_t clears;
        T value;
    };
    template <class T> static bool Holds(const PerObject<T>& kept, const GameObject& obj);
    template <class T> static void DropGone(std::map<std::uint32_t, PerObject<T>>& kept);
    ObjectManager* objects = nullptr;
    std::map<std::uint32_t, PerObject<std::string>> names;
    std::map<std::uint32_t, PerObject<std::string>> sources;
    std::map<std::uint32_t, PerObject<std::vector<Behaviour>>> behaviours;
    BehaviourRunner runBehaviour;

    friend class SceneLoader;
};
