// Writing objects as a scene file's JSON.

#include "scene/SceneSaver.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <optional>
#include <unordered_map>

#include "base/Path.h"
#include "objects/ObjectManager.h"
#include "scene/Scene.h"
#include "scene/SceneComponents.h"

namespace scene {
namespace {

Json Number(double value, const SavedProperty& property) {
    if (!std::isfinite(value))
        return nullptr; // JSON has no NaN or infinities
    if (property.access.integral)
        return static_cast<std::int64_t>(value);
    return property.singlePrecision ? ShortestFloat(static_cast<float>(value)) : value;
}

template <class V> Json Floats(const V& vector, int count) {
    Json out = Json::array();
    for (int i = 0; i < count; ++i)
        out.push_back(std::isfinite(vector[i]) ? Json(ShortestFloat(vector[i])) : Json(nullptr));
    return out;
}

Json PlainValue(const script::FieldValue& value, const SavedProperty& property) {
    if (const double* number = std::get_if<double>(&value))
        return Number(*number, property);
    if (const bool* flag = std::get_if<bool>(&value))
        return *flag;
    if (const std::string* text = std::get_if<std::string>(&value))
        return Latin1ToUtf8(*text);
    if (const glm::vec2* v2 = std::get_if<glm::vec2>(&value))
        return Floats(*v2, 2);
    if (const glm::vec3* v3 = std::get_if<glm::vec3>(&value))
        return Floats(*v3, 3);
    if (const glm::vec4* v4 = std::get_if<glm::vec4>(&value))
        return Floats(*v4, 4);
    if (const glm::quat* q = std::get_if<glm::quat>(&value))
        return Floats(glm::vec4(q->x, q->y, q->z, q->w), 4);
    return nullptr;
}

// What a save looks up once rather than per object.
struct SaveContext {
    const IndexOf& indexOf;
    // Per type and property, the value a component never set has: left out.
    std::vector<std::vector<Json>> defaults;
    // The file name each asset was saved under: a level names the same few
    // files thousands of times, and making a name relative asks the disk.
    std::unordered_map<const void*, Json> assetNames;
    std::unordered_map<const SavedProperty*, const script::AssetKind*> assetKinds;

    const script::AssetKind* AssetsOf(const SavedProperty& property) {
        const auto [found, added] = assetKinds.try_emplace(&property, nullptr);
        if (added)
            found->second = AssetKindFor(property);
        return found->second;
    }
};

Json SaveProperty(const ComponentKind& kind, const SavedProperty& property, void* component,
                  const GameObject& owner, SaveContext& context) {
    using Kind = SavedProperty::Kind;
    Json out(nullptr);
    switch (property.kind) {
    case Kind::Custom:
        property.custom->save(component, out);
        break;
    case Kind::Asset:
    case Kind::Reference:
    case Kind::Data: {
        const void* asset = nullptr;
        const script::AssetKind* assets =
            property.kind == Kind::Asset ? context.AssetsOf(property) : nullptr;
        ReadAccessorProperty(kind, property, owner, context.indexOf, out, asset, assets);
        if (!asset)
            break;
        const auto [named, added] = context.assetNames.try_emplace(asset, nullptr);
        std::string relative;
        if (added && assets && GameRelativeName(assets->fileOf(asset), relative))
            named->second = Latin1ToUtf8(relative);
        out = named->second;
        break;
    }
    default:
        out = PlainValue(property.access.get(component), property);
        break;
    }
    return out;
}

// Equal as a file writes them: -0 is not 0 (JSON keeps the sign, and so
// does a float read back).
bool SameValue(const Json& a, const Json& b) {
    if (a.is_number_float() && b.is_number_float())
        return a.get<double>() == b.get<double>() &&
               std::signbit(a.get<double>()) == std::signbit(b.get<double>());
    if (a.type() != b.type() || a.size() != b.size())
        return false;
    if (a.is_array())
        return std::equal(a.begin(), a.end(), b.begin(), SameValue);
    if (a.is_object()) {
        for (auto x = a.begin(), y = b.begin(); x != a.end(); ++x, ++y)
            if (x.key() != y.key() || !SameValue(x.value(), y.value()))
                return false;
        return true;
    }
    return a == b;
}

// The values of a component never attached. An engine object, another game
// object or script data is none (null) there.
std::vector<std::vector<Json>> DefaultValues() {
    std::vector<std::vector<Json>> defaults;
    for (const ComponentKind& kind : ComponentKinds()) {
        std::vector<Json>& values = defaults.emplace_back();
        for (const SavedProperty& property : kind.properties) {
            Json& value = values.emplace_back(nullptr);
            if (property.kind == SavedProperty::Kind::Custom)
                property.custom->save(kind.scratch, value);
            else if (property.access.get)
                value = PlainValue(property.access.get(kind.scratch), property);
        }
    }
    return defaults;
}

} // namespace

bool GameRelativeName(const std::string& file, std::string& out) {
    const std::string normal = NormalizePath(file);
    const std::string prefix = kDefaultResourceFolder;
    if (normal.compare(0, prefix.size(), prefix) == 0 && normal.size() > prefix.size()) {
        out =
            std::filesystem::path(normal.substr(prefix.size())).lexically_normal().generic_string();
        return out.compare(0, 2, "..") != 0;
    }
    std::error_code ec;
    const auto root = std::filesystem::weakly_canonical(GetResourceFolder(), ec);
    const auto path = std::filesystem::weakly_canonical(ResolvePath(file), ec);
    if (ec || file.empty())
        return false;
    out = path.lexically_relative(root).generic_string();
    return !out.empty() && out.compare(0, 2, "..") != 0;
}

std::string ModuleNameFrom(const std::string& folder, const std::string& module) {
    const std::string relative = std::filesystem::path(module)
                                     .lexically_relative(folder.empty() ? "." : folder)
                                     .generic_string();
    return relative.compare(0, 2, "..") == 0 ? relative : "./" + relative;
}

std::string SaveText(const Scene& scene, std::vector<GameObject> list, const std::string& folder) {
    list.erase(std::remove_if(list.begin(), list.end(),
                              [](const GameObject& obj) { return !ObjectManager::IsValid(obj); }),
               list.end());
    std::sort(list.begin(), list.end(),
              [](const GameObject& a, const GameObject& b) { return a.id < b.id; });
    list.erase(std::unique(list.begin(), list.end(),
                           [](const GameObject& a, const GameObject& b) { return a.id == b.id; }),
               list.end());
    std::unordered_map<std::uint32_t, std::size_t> indices;
    for (std::size_t i = 0; i < list.size(); ++i)
        indices[list[i].id] = i;
    const IndexOf indexOf = [&](const GameObject& obj) -> std::optional<std::size_t> {
        const auto found = indices.find(obj.id);
        if (found == indices.end() || list[found->second].generation != obj.generation)
            return std::nullopt;
        return found->second;
    };

    // Written as it goes, laid out as ToText lays out the same JSON: a tree of
    // thousands of objects built only to be written was most of a save's time.
    SaveContext context{indexOf, DefaultValues(), {}, {}};
    std::string out;
    out.reserve(list.size() * 512); // about what an object with a few components takes
    out += "{\n  \"format\": ";
    AppendText(kFormat, 1, out);
    out += ",\n  \"version\": ";
    AppendText(kVersion, 1, out);
    out += ",\n  \"objects\": [";
    std::vector<std::pair<const std::string*, Json>> fields;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const GameObject& obj = list[i];
        out += i == 0 ? "\n    {\n" : ",\n    {\n";
        if (const std::string name = scene.GetName(obj); !name.empty()) {
            out += "      \"name\": ";
            AppendText(Latin1ToUtf8(name), 3, out);
            out += ",\n";
        }
        out += "      \"components\": {";
        bool firstComponent = true;
        for (const ComponentKind& kind : ComponentKinds()) {
            void* component = kind.attached(obj);
            if (!component)
                continue;
            fields.clear();
            const std::vector<Json>& defaults = context.defaults[kind.index];
            for (std::size_t p = 0; p < kind.properties.size(); ++p) {
                const SavedProperty& property = kind.properties[p];
                Json value = SaveProperty(kind, property, component, obj, context);
                if (!SameValue(value, defaults[p]))
                    fields.emplace_back(&property.name, std::move(value));
            }
            out += firstComponent ? "\n        " : ",\n        ";
            firstComponent = false;
            AppendText(std::string(kind.name), 4, out);
            out += ": ";
            if (fields.empty()) {
                out += "{}";
            } else if (fields.size() == 1 && !fields[0].second.is_structured()) {
                out += '{';
                AppendText(*fields[0].first, 5, out);
                out += ": ";
                AppendText(fields[0].second, 5, out);
                out += '}';
            } else {
                out += '{';
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    out += f == 0 ? "\n          " : ",\n          ";
                    AppendText(*fields[f].first, 5, out);
                    out += ": ";
                    AppendText(fields[f].second, 5, out);
                }
                out += "\n        }";
            }
        }
        out += firstComponent ? "}" : "\n      }";
        const std::vector<Scene::Behaviour> behaviours = scene.GetBehaviours(obj);
        if (!behaviours.empty()) {
            Json saved = Json::array();
            for (const Scene::Behaviour& behaviour : behaviours) {
                Json data = DataToJson(behaviour.data, indexOf);
                saved.push_back(
                    Json{{"module", Latin1ToUtf8(ModuleNameFrom(folder, behaviour.module))},
                         {"data", std::move(data)}});
            }
            out += ",\n      \"behaviours\": ";
            AppendText(saved, 3, out);
        }
        out += "\n    }";
    }
    out += list.empty() ? "]\n}\n" : "\n  ]\n}\n";
    return out;
}

Json SaveObjects(const Scene& scene, std::vector<GameObject> list, const std::string& folder) {
    Json file;
    std::string problem;
    ParseText(SaveText(scene, std::move(list), folder), file, problem);
    return file;
}

} // namespace scene
