#pragma once

// What scene files need to know of bound properties that the binding tables
// cannot say by themselves. Engine objects loaded from the game's files (a
// texture, a voxel model) are kept by their file name: the system that caches
// each kind says here how to name one and how to get one for a name, so a new
// property of such a type is saved without new code. A property whose script
// value does not show all a file must keep (a body's shape, which scripts no
// longer see once the body is built) registers its own saved form, next to
// its class table.

#include <functional>
#include <string>
#include <typeinfo>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace script {

struct AssetKind {
    const std::type_info* type = nullptr;
    // The name the object was loaded under, as scripts name files
    // ("../resource/Textures/x.png"); empty for one no file gave (a model a
    // script made).
    std::function<std::string(const void* object)> fileOf;
    // The object for such a name, loaded when it is not yet.
    std::function<void*(const std::string& file)> load;
};

void RegisterAsset(AssetKind kind);
void UnregisterAsset(const std::type_info& type);
// Null for a type no system registered.
const AssetKind* AssetKindOf(const std::type_info& type);
const std::vector<AssetKind>& AssetKinds();

struct CustomSaved {
    // Null for nothing.
    void (*save)(const void* component, nlohmann::ordered_json& out);
    // True for a form `load` takes, else `problem` says what is wrong.
    bool (*check)(const nlohmann::ordered_json& in, std::string& problem);
    void (*load)(void* component, const nlohmann::ordered_json& in);
};

// Called at static initialisation, beside the class table of `component`.
bool RegisterSavedProperty(const std::type_info& component, const char* property,
                           CustomSaved saved);
// Null for a property that registered none.
const CustomSaved* SavedPropertyOf(const std::type_info& component, const std::string& property);

} // namespace script
