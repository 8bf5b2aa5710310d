// Checking a scene file whole, then making its objects.

#include "scene/SceneLoader.h"

#include <cmath>
#include <filesystem>

#include "base/Path.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "scene/SceneSaver.h"
#include "script/ScriptHost.h"

namespace {

using scene::Json;

std::string Pointer(const std::string& base, const std::string& key) {
    std::string out;
    out.reserve(base.size() + key.size() + 1);
    out.append(base).append(1, '/');
    for (const char c : key)
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    return out;
}

std::string Describe(const Json& value) {
    std::string text = value.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (text.size() > 40)
        text = text.substr(0, 37) + "...";
    return value.is_null() ? "null" : text;
}

// Below the point half-way from the largest float to the next power of two,
// where a double stops rounding to a finite float: the largest float's shortest
// text (3.4028235e+38) reads as a double just above it.
constexpr double kFloatLimit = 3.4028235677973366e+38;

bool FitsFloat(double value) {
    return std::fabs(value) < kFloatLimit;
}

bool IsFloat(const Json& value) {
    return value.is_number() && FitsFloat(value.get<double>());
}

// A name relative to the game's folder that stays inside it: no root, no "..".
bool InsideGame(const std::filesystem::path& relative, std::string& out) {
    const std::filesystem::path normal = relative.lexically_normal();
    if (relative.empty() || relative.is_absolute() || relative.has_root_name() || normal.empty() ||
        *normal.begin() == "..")
        return false;
    out = normal.generic_string();
    return true;
}

} // namespace

const script::AssetKind* SceneLoader::AssetsOf(const scene::SavedProperty& property) {
    const auto [found, added] = assetKinds.try_emplace(&property, nullptr);
    if (added)
        found->second = scene::AssetKindFor(property);
    return found->second;
}

SceneLoader::SceneLoader(Scene& scene, std::string source, std::string folder)
    : scene(scene), source(std::move(source)), folder(std::move(folder)) {}

std::string SceneLoader::Here() const {
    return Pointer(*hereBase, *hereKey);
}

bool SceneLoader::Fail(const std::string& at, const std::string& problem) {
    error = source + ": ";
    if (at.rfind("/objects/", 0) == 0) {
        const std::size_t end = at.find('/', 9);
        error += "object " + at.substr(9, end == std::string::npos ? end : end - 9) + " ";
    }
    error += "at " + (at.empty() ? std::string("/") : at) + ": " + problem;
    return false;
}

bool SceneLoader::Check(const Json& file) {
    if (!file.is_object())
        return Fail("", "a scene file is a JSON object, not " + Describe(file));
    for (auto it = file.begin(); it != file.end(); ++it)
        if (it.key() != "format" && it.key() != "version" && it.key() != "objects")
            return Fail(Pointer("", it.key()), "unknown key (format, version, objects)");
    if (!file.contains("format") || file["format"] != scene::kFormat)
        return Fail("/format", std::string("must be \"") + scene::kFormat + "\"");
    if (!file.contains("version") || !file["version"].is_number_integer() ||
        file["version"].get<std::int64_t>() < 1)
        return Fail("/version", "must be a whole number >= 1");
    if (file["version"].get<std::int64_t>() > scene::kVersion)
        return Fail("/version", "version " + file["version"].dump() +
                                    " is newer than this engine reads (" +
                                    std::to_string(scene::kVersion) + ")");
    if (!file.contains("objects") || !file["objects"].is_array())
        return Fail("/objects", "must be an array");
    const Json& objects = file["objects"];
    if (objects.size() > kMaxObjects)
        return Fail("/objects", "more than " + std::to_string(kMaxObjects) + " objects");
    count = objects.size();
    plan.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        path = "/objects/" + std::to_string(i);
        if (!CheckObject(objects[i]))
            return false;
    }
    return true;
}

bool SceneLoader::CheckObject(const Json& object) {
    const std::string at = path;
    if (!object.is_object())
        return Fail(at, "an object is a JSON object, not " + Describe(object));
    PlannedObject planned;
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        const Json& value = it.value();
        const std::string keyAt = Pointer(at, key);
        if (key == "name") {
            if (!value.is_string() || !scene::Utf8ToLatin1(value.get<std::string>(), planned.name))
                return Fail(keyAt, "must be a string of characters up to U+00FF");
        } else if (key == "components") {
            if (!value.is_object())
                return Fail(keyAt, "must be an object of components by type name");
            for (auto c = value.begin(); c != value.end(); ++c) {
                const std::string componentAt = Pointer(keyAt, c.key());
                const scene::ComponentKind* kind = scene::ComponentKindNamed(c.key());
                if (!kind)
                    return Fail(componentAt, "unknown component type");
                if (!c.value().is_object())
                    return Fail(componentAt, "must be an object of properties");
                PlannedComponent component{kind, {}};
                for (auto p = c.value().begin(); p != c.value().end(); ++p) {
                    // The path is built only for an error: most files have none.
                    hereBase = &componentAt;
                    hereKey = &p.key();
                    const auto property = std::find_if(
                        kind->properties.begin(), kind->properties.end(),
                        [&](const scene::SavedProperty& f) { return f.name == p.key(); });
                    if (property == kind->properties.end())
                        return Fail(Here(), "unknown property of " + std::string(kind->name));
                    PlannedField plannedField{&*property, &p.value(), nullptr, nullptr};
                    if (!CheckField(*kind, *property, p.value(), plannedField))
                        return false;
                    component.fields.push_back(plannedField);
                }
                planned.components.push_back(std::move(component));
            }
        } else if (key == "behaviours") {
            if (!value.is_array())
                return Fail(keyAt, "must be an array of {module, data}");
            for (std::size_t b = 0; b < value.size(); ++b) {
                const std::string behaviourAt = keyAt + "/" + std::to_string(b);
                const Json& behaviour = value[b];
                if (!behaviour.is_object() || !behaviour.contains("module") ||
                    !behaviour["module"].is_string())
                    return Fail(behaviourAt, "must be an object with a \"module\" string");
                for (auto k = behaviour.begin(); k != behaviour.end(); ++k)
                    if (k.key() != "module" && k.key() != "data")
                        return Fail(Pointer(behaviourAt, k.key()), "unknown key (module, data)");
                std::string name;
                std::string module;
                if (!scene::Utf8ToLatin1(behaviour["module"].get<std::string>(), name) ||
                    !InsideGame(std::filesystem::path(folder) / name, module))
                    return Fail(behaviourAt + "/module",
                                "must name a module inside the game's folder, not " +
                                    Describe(behaviour["module"]));
                std::string problem;
                if (!IsRegularFile(ResolvePath(kDefaultResourceFolder + module), problem))
                    return Fail(behaviourAt + "/module",
                                "missing module " + module + ": " + problem);
                static const Json null;
                const Json* data = behaviour.contains("data") ? &behaviour["data"] : &null;
                const std::string dataAt = behaviourAt + "/data";
                if (!CheckData(*data, DataPath{nullptr, &dataAt, 0}))
                    return false;
                planned.behaviours.emplace_back(module, data);
            }
        } else {
            return Fail(keyAt, "unknown key (name, components, behaviours)");
        }
    }
    plan.push_back(std::move(planned));
    return true;
}

std::string SceneLoader::DataPath::Text() const {
    if (!parent)
        return *key;
    return key ? Pointer(parent->Text(), *key) : parent->Text() + "/" + std::to_string(index);
}

bool SceneLoader::CheckData(const Json& value, const DataPath& at) {
    if (value.is_object()) {
        if (value.size() == 1 && value.contains("$object")) {
            const Json& index = value["$object"];
            if (!index.is_number_unsigned() || index.get<std::uint64_t>() >= count)
                return Fail(at.Text() + "/$object",
                            "must be the index of an object of the file, not " + Describe(index));
            return true;
        }
        for (auto it = value.begin(); it != value.end(); ++it)
            if (!CheckData(it.value(), DataPath{&at, &it.key(), 0}))
                return false;
    } else if (value.is_array()) {
        for (std::size_t i = 0; i < value.size(); ++i)
            if (!CheckData(value[i], DataPath{&at, nullptr, i}))
                return false;
    }
    return true;
}

bool SceneLoader::CheckField(const scene::ComponentKind& kind, const scene::SavedProperty& property,
                             const Json& value, PlannedField& out) {
    using Kind = scene::SavedProperty::Kind;
    std::string problem;
    auto vector = [&](std::size_t size) {
        if (value.is_array() && value.size() == size &&
            std::all_of(value.begin(), value.end(), IsFloat))
            return true;
        return Fail(Here(), "must be an array of " + std::to_string(size) +
                                " numbers (each a float), not " + Describe(value));
    };
    switch (property.kind) {
    case Kind::Custom:
        return property.custom->check(value, problem) || Fail(Here(), problem);
    case Kind::Reference:
        if (!value.is_null() &&
            (!value.is_number_unsigned() || value.get<std::uint64_t>() >= count))
            return Fail(Here(), "must be null or the index of an object of the file, not " +
                                    Describe(value));
        return true;
    case Kind::Data: {
        const DataPath base{nullptr, hereBase, 0};
        if (!value.is_null() && !value.is_object())
            return Fail(Here(), "must be null or an object, not " + Describe(value));
        return CheckData(value, DataPath{&base, hereKey, 0});
    }
    case Kind::Asset: {
        if (value.is_null())
            return true;
        // A level names the same few files thousands of times: each name is
        // checked and its file looked for once.
        std::string& known = assetKey;
        known.assign(property.assetClass).append(1, '\0');
        if (value.is_string())
            if (const auto found =
                    assetsByText.find(known.append(value.get_ref<const std::string&>()));
                found != assetsByText.end()) {
                out.asset = found->second;
                out.assets = AssetsOf(property);
                return true;
            }
        std::string name;
        std::string relative;
        if (!value.is_string() || !scene::Utf8ToLatin1(value.get<std::string>(), name) ||
            !InsideGame(name, relative))
            return Fail(Here(), "must be null or a file name inside the game's folder, not " +
                                    Describe(value));
        void*& loaded = assetsByName[property.assetClass + ":" + relative];
        if (!loaded) {
            const std::string file = kDefaultResourceFolder + relative;
            if (!IsRegularFile(ResolvePath(file), problem))
                return Fail(Here(), "missing file " + relative + ": " + problem);
            const script::AssetKind* assets = AssetsOf(property);
            if (!assets)
                return Fail(Here(), "a " + property.assetClass +
                                        " cannot be loaded without the system that keeps them");
            loaded = assets->load(file);
        }
        out.asset = loaded;
        out.assets = AssetsOf(property);
        assetsByText.emplace(known, loaded);
        return true;
    }
    case Kind::Number: {
        if (value.is_null() && !property.access.integral)
            return true; // NaN, which JSON cannot write
        if (!value.is_number())
            return Fail(Here(), "must be a number, not " + Describe(value));
        const double number = value.get<double>();
        const bool fits = property.access.integral ? std::trunc(number) == number &&
                                                         scene::ValueFits(kind, property, number)
                                                   : !property.singlePrecision || FitsFloat(number);
        if (!fits)
            return Fail(Here(), "the number " + Describe(value) + " is out of range" +
                                    (property.access.integral ? " of the whole numbers it holds"
                                                              : " of a float"));
        return true;
    }
    case Kind::Boolean:
        return value.is_boolean() || Fail(Here(), "must be true or false, not " + Describe(value));
    case Kind::Text: {
        std::string bytes;
        if (!value.is_string() || !scene::Utf8ToLatin1(value.get<std::string>(), bytes))
            return Fail(Here(),
                        "must be a string of characters up to U+00FF, not " + Describe(value));
        // A name from a fixed set (an anchor) is refused by its setter.
        if (!scene::ValueFits(kind, property, bytes))
            return Fail(Here(), Describe(value) + " is not a value this property takes");
        return true;
    }
    case Kind::Vec2:
        return vector(2);
    case Kind::Vec3:
        return vector(3);
    case Kind::Vec4:
    case Kind::Quat:
        return vector(4);
    }
    return Fail(Here(), "this property cannot be loaded");
}

void SceneLoader::Apply(const scene::ComponentKind& kind, const PlannedField& planned,
                        void* component, const GameObject& owner,
                        const std::vector<GameObject>& made) const {
    using Kind = scene::SavedProperty::Kind;
    const scene::SavedProperty& property = *planned.property;
    const Json& value = *planned.value;
    const auto objectAt = [&](std::size_t index) { return made[index]; };
    auto floats = [&](int i) { return value[static_cast<std::size_t>(i)].get<float>(); };
    script::FieldValue plain;
    switch (property.kind) {
    case Kind::Custom:
        property.custom->load(component, value);
        return;
    case Kind::Reference:
    case Kind::Data:
    case Kind::Asset:
        scene::WriteAccessorProperty(kind, property, owner, value, planned.asset, objectAt,
                                     planned.assets);
        return;
    case Kind::Number:
        plain = value.is_null() ? std::nan("") : value.get<double>();
        break;
    case Kind::Boolean:
        plain = value.get<bool>();
        break;
    case Kind::Text: {
        std::string bytes;
        scene::Utf8ToLatin1(value.get<std::string>(), bytes);
        plain = std::move(bytes);
        break;
    }
    case Kind::Vec2:
        plain = glm::vec2(floats(0), floats(1));
        break;
    case Kind::Vec3:
        plain = glm::vec3(floats(0), floats(1), floats(2));
        break;
    case Kind::Vec4:
        plain = glm::vec4(floats(0), floats(1), floats(2), floats(3));
        break;
    case Kind::Quat:
        plain = glm::quat(floats(3), floats(0), floats(1), floats(2));
        break;
    }
    property.access.set(component, plain);
}

std::optional<std::vector<GameObject>>
SceneLoader::Load(const Json& file, const Scene::Placement& placement, std::string& errorOut) {
    ObjectManager* manager = scene.GetObjectManager();
    if (!manager) {
        errorOut = source + ": there is no object manager to make objects with";
        return std::nullopt;
    }
    if (!Check(file)) {
        errorOut = error;
        return std::nullopt;
    }
    std::vector<GameObject> made;
    made.reserve(plan.size());
    try {
        for (std::size_t i = 0; i < plan.size(); ++i)
            made.push_back(manager->NewObject());
    } catch (const std::exception& e) {
        // The stores could not grow: what was made goes at the end of the frame.
        for (const GameObject& obj : made)
            manager->DeleteObject(obj);
        errorOut =
            source + ": cannot make " + std::to_string(plan.size()) + " objects: " + e.what();
        return std::nullopt;
    }
    const bool placed = placement.position != glm::vec3(0.0f) ||
                        placement.orientation != glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const GameObject& obj = made[i];
        for (const PlannedComponent& planned : plan[i].components) {
            void* component = planned.kind->add(obj);
            if (!component)
                continue; // the world was cleared under the load
            for (const PlannedField& field : planned.fields)
                Apply(*planned.kind, field, component, obj, made);
        }
        if (!plan[i].name.empty())
            scene.SetName(obj, plan[i].name);
        if (TransformComponent* transform = ObjectManager::GetComponent<TransformComponent>(obj);
            placed && transform && ObjectManager::HasComponent<TransformComponent>(obj)) {
            transform->position = placement.position + placement.orientation * transform->position;
            transform->orientation = placement.orientation * transform->orientation;
        }
    }
    for (const GameObject& obj : made)
        if (ObjectManager::IsValid(obj))
            ObjectManager::InitializeObj(obj);
    // Behaviours last, when every object of the file exists and is initialized;
    // one that fails is reported and the others still run.
    const auto objectAt = [&](std::size_t index) { return made[index]; };
    for (std::size_t i = 0; i < plan.size(); ++i)
        for (const auto& [module, data] : plan[i].behaviours) {
            Scene::Behaviour behaviour{module, scene::DataFromJson(*data, objectAt)};
            std::string problem;
            if (!scene.Attach(made[i], std::move(behaviour), problem))
                ScriptHost::Instance().ReportWarning("Scene.Load: %s: object %zu: %s",
                                                     source.c_str(), i, problem.c_str());
        }
    return made;
}
