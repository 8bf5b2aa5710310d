// The registries of assets kept by file name and of properties saved their own way.

#include "script/SavedProperties.h"

#include <algorithm>
#include <map>
#include <typeindex>
#include <utility>

namespace script {
namespace {
std::vector<AssetKind>& Kinds() {
    static std::vector<AssetKind> kinds;
    return kinds;
}
std::map<std::pair<std::type_index, std::string>, CustomSaved>& Custom() {
    static std::map<std::pair<std::type_index, std::string>, CustomSaved> custom;
    return custom;
}
} // namespace

void RegisterAsset(AssetKind kind) {
    UnregisterAsset(*kind.type);
    Kinds().push_back(std::move(kind));
}

void UnregisterAsset(const std::type_info& type) {
    auto& kinds = Kinds();
    kinds.erase(std::remove_if(kinds.begin(), kinds.end(),
                               [&](const AssetKind& kind) { return *kind.type == type; }),
                kinds.end());
}

const AssetKind* AssetKindOf(const std::type_info& type) {
    for (const AssetKind& kind : Kinds())
        if (*kind.type == type)
            return &kind;
    return nullptr;
}

const std::vector<AssetKind>& AssetKinds() {
    return Kinds();
}

bool RegisterSavedProperty(const std::type_info& component, const char* property,
                           CustomSaved saved) {
    Custom()[{std::type_index(component), property}] = saved;
    return true;
}

const CustomSaved* SavedPropertyOf(const std::type_info& component, const std::string& property) {
    const auto found = Custom().find({std::type_index(component), property});
    return found == Custom().end() ? nullptr : &found->second;
}

} // namespace script
