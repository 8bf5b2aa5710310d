#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <new>

#include "objects/BaseComponentFactory.h"

// The one store of component type T: slot i belongs to object id i. A deque,
// because it only ever grows at the end and growing never moves an existing
// slot; script wrappers and iterating systems rely on that.
template <class T> class ComponentFactory final : public BaseComponentFactory {
  public:
    static ComponentFactory& Instance() {
        static ComponentFactory instance;
        return instance;
    }

    ComponentFactory(const ComponentFactory&) = delete;
    ComponentFactory& operator=(const ComponentFactory&) = delete;

    bool& AttachedFlag(std::uint32_t id) override { return Slot(id).attached; }
    void GrowByOne() override { store.emplace_back(); }
    void RemoveComponentAt(std::uint32_t id) override { Slot(id).OnRemove(); }
    void InitializeComponentAt(std::uint32_t id) override { Slot(id).Initialize(); }

    void ClearComponents() override {
        // OnRemove may run scripts that touch this store; index, don't iterate.
        for (std::size_t i = 0; i < store.size(); ++i) {
            if (store[i].IsAttached()) {
                store[i].OnRemove();
            }
        }
        store.clear();
    }

    void FreeComponentMemory() override {
        std::deque<T> released;
        released.swap(store);
    }

    void ResetComponentAt(std::uint32_t id) override {
        if (id >= store.size()) {
            return;
        }
        T* slot = &store[id];
        slot->~T();
        ::new (static_cast<void*>(slot)) T();
    }

    std::size_t Size() const override { return store.size(); }

    // The slot of object `id`, or nullptr when the store holds no such slot
    // (a handle from before a clear, a forged id). Anything resolving ids it
    // did not just get from the ObjectManager goes through here.
    T* At(std::uint32_t id) { return id < store.size() ? &store[id] : nullptr; }

    // Visits every attached slot that existed when the walk began. The visitor
    // may create objects (their new slots wait for the next walk), attach or
    // detach components, or even clear the world: the walk re-checks the
    // store's size, so it never steps past the end. (After a clear the slot
    // being visited is gone too; a visitor must not touch it afterwards.)
    template <class Visitor> void ForEachAttached(Visitor&& visit) {
        const std::size_t count = store.size();
        for (std::size_t i = 0; i < count && i < store.size(); ++i) {
            if (store[i].IsAttached()) {
                visit(store[i]);
            }
        }
    }

  private:
    ComponentFactory() = default;

    T& Slot(std::uint32_t id) {
        assert(id < store.size());
        return store[id];
    }

    std::deque<T> store;
};
