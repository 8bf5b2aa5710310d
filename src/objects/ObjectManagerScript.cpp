#include "objects/ObjectManager.h"

#include <optional>
#include <string>
#include <vector>

#include "objects/ComponentScript.h"
#include "objects/ComponentTypes.h"
#include "script/ScriptClass.h"

namespace {

using S = script::ScriptClass<ObjectManager>;
template <class T> using Ref = std::optional<script::IndexedRef<T>>;

// The four functions of each component type act on slot obj.id of its store
// whether or not obj is still valid. A handle whose id is outside the store
// (from before a clear, or made up) gets null or false and changes nothing.
template <class T> Ref<T> Get(GameObject obj) {
    if (!ObjectManager::GetComponent<T>(obj))
        return std::nullopt;
    return ComponentRef<T>(obj);
}

template <class T> bool Has(GameObject obj) {
    return ObjectManager::HasComponent<T>(obj);
}

template <class T> Ref<T> Add(GameObject obj) {
    if (!ObjectManager::AddComponent<T>(obj))
        return std::nullopt;
    return ComponentRef<T>(obj);
}

template <class T> Ref<T> Remove(GameObject obj) {
    if (!ObjectManager::RemoveComponent<T>(obj))
        return std::nullopt;
    return ComponentRef<T>(obj);
}

template <class T> void AddComponentFunctions(std::vector<script::Member>& members) {
    static const std::string name(ComponentTypeName<T>());
    static const std::string has = "Has" + name;
    static const std::string add = "Add" + name;
    static const std::string remove = "Remove" + name;
    members.push_back(S::Function<&Get<T>>(name.c_str()).Args("obj"));
    members.push_back(S::Function<&Has<T>>(has.c_str()).Args("obj"));
    members.push_back(S::Function<&Add<T>>(add.c_str()).Args("obj"));
    members.push_back(S::Function<&Remove<T>>(remove.c_str()).Args("obj"));
}

std::vector<script::Member> ObjectManagerMembers() {
    std::vector<script::Member> members = {
        S::Method<&ObjectManager::NewObject>("NewObject"),
        S::Method<&ObjectManager::DeleteObject>("DeleteObject").Args("obj"),
        S::Method<&ObjectManager::ClearAllObjects>("ClearAllObjects"),
        S::Method<&ObjectManager::ClearAllObjects_FreeMemory>("ClearAllObjects_FreeMemory"),
        S::Function<&ObjectManager::IsValid>("IsValid").Args("obj"),
        S::Method<&ObjectManager::DelayedDestruction>("DelayedDestruction"),
    };
    ForEachComponentType(
        [&](auto tag) { AddComponentFunctions<typename decltype(tag)::Type>(members); });
    members.push_back(S::Function<&ObjectManager::InitializeObj>("InitializeObj").Args("obj"));
    members.push_back(S::Function<&ObjectManager::CompareObj>("CompareObj").Args("a, b"));
    members.push_back(S::Property<&ObjectManager::numGameObjects>("numGameObjects"));
    return members;
}

const S objectManagerClass("ObjectManager", ObjectManagerMembers());

} // namespace
