#include "objects/ComponentRegistry.h"

#include <algorithm>

#include "objects/ComponentFactory.h"
#include "objects/ComponentTypes.h"

ComponentRegistry::ComponentRegistry() {
    stores.reserve(kComponentTypeCount);
    ForEachComponentType([this](auto tag) {
        using T = typename decltype(tag)::Type;
        stores.push_back(&ComponentFactory<T>::Instance());
    });
}

ComponentRegistry& ComponentRegistry::Instance() {
    static ComponentRegistry instance;
    return instance;
}

void ComponentRegistry::Register(BaseComponentFactory& store) {
    if (std::find(stores.begin(), stores.end(), &store) != stores.end()) {
        return;
    }
    const std::size_t slots = stores.front()->Size();
    while (store.Size() < slots) {
        store.GrowByOne();
    }
    stores.push_back(&store);
}

namespace {
// Have every store in place before main runs, in list order.
[[maybe_unused]] const bool registryBuilt = (ComponentRegistry::Instance(), true);
} // namespace
