#include "objects/ObjectManager.h"

#include "objects/ComponentRegistry.h"

namespace {

struct World {
    std::vector<std::uint32_t> generations;
    std::uint64_t clears = 0;
};

World& TheWorld() {
    static World world;
    return world;
}

// Sets a flag for the lifetime of a scope, even if a hook throws.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag(flag) { flag = true; }
    ~FlagScope() { flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag;
};

bool IsAttachedAt(BaseComponentFactory& store, std::uint32_t id) {
    return id < store.Size() && store.AttachedFlag(id);
}

} // namespace

ObjectManager::ObjectManager() {
    // Bring the stores and the table into being before this manager, so they
    // also outlive it when it is itself a static.
    ComponentRegistry::Instance();
    TheWorld();
}

ObjectManager::~ObjectManager() {
    ClearAllObjects();
}

const std::vector<std::uint32_t>& ObjectManager::Generations() {
    return TheWorld().generations;
}

std::uint64_t ObjectManager::ClearCount() {
    return TheWorld().clears;
}

bool ObjectManager::IsValid(const GameObject& obj) {
    const std::vector<std::uint32_t>& generations = TheWorld().generations;
    return obj.id < generations.size() && generations[obj.id] == obj.generation;
}

GameObject ObjectManager::NewObject() {
    if (clearing) {
        return GameObject();
    }
    std::vector<std::uint32_t>& generations = TheWorld().generations;
    std::uint32_t id;
    if (!freeIds.empty()) {
        id = freeIds.back();
        freeIds.pop_back();
    } else {
        // The table, not the live count, says how many ids exist: scripts can
        // write the count.
        id = static_cast<std::uint32_t>(generations.size());
        const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
        for (std::size_t s = 0; s < stores.size(); ++s) {
            while (stores[s]->Size() <= id) {
                stores[s]->GrowByOne();
            }
        }
        generations.push_back(0);
    }
    ++numGameObjects;
    return GameObject(id, generations[id]);
}

void ObjectManager::DeleteObject(const GameObject& obj) {
    pendingDestruction.push_back(obj);
}

void ObjectManager::DelayedDestruction() {
    // A hook that asks for a carry-out while one runs gets it from the running
    // walk, which also takes requests appended meanwhile. During a clear every
    // object ends anyway.
    if (carryingOut || clearing) {
        return;
    }
    FlagScope scope(carryingOut);
    World& world = TheWorld();
    const std::uint64_t clears = world.clears;
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();

    for (std::size_t i = 0; i < pendingDestruction.size(); ++i) {
        const GameObject obj = pendingDestruction[i];
        // Also skips a second request for an object destroyed earlier in this
        // walk, and stale handles whose id now belongs to another object.
        if (!IsValid(obj)) {
            continue;
        }
        if (numGameObjects > 0) {
            --numGameObjects;
        }
        for (std::size_t s = 0; s < stores.size(); ++s) {
            BaseComponentFactory& store = *stores[s];
            if (!IsAttachedAt(store, obj.id)) {
                continue;
            }
            store.RemoveComponentAt(obj.id);
            if (world.clears != clears) {
                return; // a hook cleared the world, and with it every request
            }
            store.SetAttachedFlag(obj.id, false);
        }
        ++world.generations[obj.id];
        // Released only now: an object created by one of the hooks above must
        // not be handed the id that is still being torn down.
        freeIds.push_back(obj.id);
    }
    pendingDestruction.clear();
}

std::vector<GameObject> ObjectManager::GetLiveObjects() const {
    const std::vector<std::uint32_t>& generations = TheWorld().generations;
    std::vector<bool> free(generations.size(), false);
    for (const std::uint32_t id : freeIds)
        if (id < free.size())
            free[id] = true;
    std::vector<GameObject> live;
    for (std::uint32_t id = 0; id < generations.size(); ++id)
        if (!free[id])
            live.emplace_back(id, generations[id]);
    return live;
}

void ObjectManager::InitializeObj(const GameObject& obj) {
    const std::uint64_t clears = ClearCount();
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
    for (std::size_t s = 0; s < stores.size(); ++s) {
        if (IsAttachedAt(*stores[s], obj.id)) {
            stores[s]->InitializeComponentAt(obj.id);
            if (ClearCount() != clears) {
                return;
            }
        }
    }
}

void ObjectManager::ClearAllObjects() {
    Clear(false);
}

void ObjectManager::ClearAllObjects_FreeMemory() {
    Clear(true);
}

void ObjectManager::Clear(bool releaseMemory) {
    if (clearing) {
        return;
    }
    DelayedDestruction();
    FlagScope scope(clearing);
    World& world = TheWorld();
    ++world.clears;
    const std::vector<BaseComponentFactory*>& stores = ComponentRegistry::Instance().Stores();
    for (std::size_t s = 0; s < stores.size(); ++s) {
        stores[s]->ClearComponents();
    }
    if (releaseMemory) {
        for (std::size_t s = 0; s < stores.size(); ++s) {
            stores[s]->FreeComponentMemory();
        }
    }
    numGameObjects = 0;
    world.generations.clear();
    freeIds.clear();
    pendingDestruction.clear();
    // Counted again at the end: whatever a hook stamped with the count during
    // the clear (a component wrapper) belongs to the world that just went.
    ++world.clears;
}
