#pragma once

// A scene file's JSON to new objects, all or none. The whole file is checked
// first, every fault named by the object's index and the JSON path of the
// value ("object 3 at /objects/3/components/TransformComponent/position/1:
// expected a number"), and every file it names found; only then are objects
// made: all of them, then their components and properties (references
// between them mapped to the new objects), then each is initialized, and last
// the behaviours run.

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "objects/GameObject.h"
#include "scene/Scene.h"
#include "scene/SceneComponents.h"

using scene::Json;

class SceneLoader {
  public:
    // Ten times the largest level the benchmark loads: every object costs a
    // slot in every component store, so a small hostile file must not ask for millions.
    static constexpr std::size_t kMaxObjects = 100000;

    SceneLoader(Scene& scene, std::string source, std::string folder);
    std::optional<std::vector<GameObject>> Load(const Json& file, const Scene::Placement& placement,
                                                std::string& error);

  private:
    struct PlannedField {
        const scene::SavedProperty* property;
        const Json* value;
        void* asset; // a file's object, already loaded
        const script::AssetKind* assets;
    };
    struct PlannedComponent {
        const scene::ComponentKind* kind;
        std::vector<PlannedField> fields;
    };
    struct PlannedObject {
        std::string name;
        std::vector<PlannedComponent> components;
        std::vector<std::pair<std::string, const Json*>> behaviours; // module, data
    };

    bool Check(const Json& file);
    bool CheckObject(const Json& object);
    bool CheckField(const scene::ComponentKind& kind, const scene::SavedProperty& property,
                    const Json& value, PlannedField& out);
    // Where a value of script data is, as a JSON pointer made only for an
    // error: data has a key per value, and most files have no error.
    struct DataPath {
        const DataPath* parent; // null: `key` is the whole pointer
        const std::string* key; // null: `index` is an array's
        std::size_t index;
        std::string Text() const;
    };
    bool CheckData(const Json& value, const DataPath& path);
    bool Fail(const std::string& path, const std::string& problem);
    void Apply(const scene::ComponentKind& kind, const PlannedField& planned, void* component,
               const GameObject& owner, const std::vector<GameObject>& made) const;

    Scene& scene;
    std::string source;
    std::string folder;
    std::vector<PlannedObject> plan;
    std::size_t count = 0; // objects in the file
    std::string path;      // JSON pointer of the object being checked
    // The property being checked: its component's path and its key.
    const std::string* hereBase = nullptr;
    const std::string* hereKey = nullptr;
    std::string Here() const;
    std::map<std::string, void*> assetsByName;           // class ":" name in the game's folder
    std::unordered_map<std::string, void*> assetsByText; // class "\0" text in the file
    std::string assetKey;
    std::unordered_map<const scene::SavedProperty*, const script::AssetKind*> assetKinds;
    const script::AssetKind* AssetsOf(const scene::SavedProperty& property);
    std::string error;
};
