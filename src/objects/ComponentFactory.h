#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <new>

#include "objects/AttachedList.h"
#include "objects/BaseComponentFactory.h"

// The one store of component type T: slot i belongs to object id i. A deque,
// because it only ever grows at the end and growing never moves an existing
// slot; script wrappers and iterating systems rely on that. Beside it, the
// ascending ids of the attached slots, which the per-frame walks follow; so
// every change of a slot's flag goes through SetAttachedFlag.
template <class T> class ComponentFactory final : public BaseComponentFactory {
  public:
    static ComponentFactory& Instance() {
        static ComponentFactory instance;
        return instance;
    }

    ComponentFactory(const ComponentFactory&) = delete;
    ComponentFactory& operator=(const ComponentFactory&) = delete;

    bool AttachedFlag(std::uint32_t id) override { return Slot(id).attached; }
    void SetAttachedFlag(std::uint32_t id, bool value) override {
        T& slot = Slot(id);
        if (slot.attached == value)
            return;
        slot.attached = value;
        if (value)
            attachedIds.Attach(id);
        else
            attachedIds.Detach();
    }
    void GrowByOne() override {
        store.emplace_back();
        attachedIds.Grow();
    }
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
        attachedIds.Clear(false);
    }

    void FreeComponentMemory() override {
        std::deque<T> released;
        released.swap(store);
        attachedIds.Clear(true);
    }

    void ResetComponentAt(std::uint32_t id) override {
        if (id >= store.size()) {
            return;
        }
        T* slot = &store[id];
        const bool wasAttached = slot->attached;
        slot->~T();
        ::new (static_cast<void*>(slot)) T();
        if (wasAttached)
            attachedIds.Detach();
    }

    std::size_t Size() const override { return store.size(); }

    // The slot of object `id`, or nullptr when the store holds no such slot
    // (a handle from before a clear, a forged id). Anything resolving ids it
    // did not just get from the ObjectManager goes through here.
    T* At(std::uint32_t id) { return id < store.size() ? &store[id] : nullptr; }

    // Visits every attached slot that existed when the walk began, in id order.
    // The visitor may create objects (their new slots wait for the next walk),
    // attach components (visited in this walk when above the one being visited),
    // detach them (skipped when reached), walk this store itself, or even clear
    // the world: the walk re-checks the store's size, so it never steps past
    // the end. (After a clear the slot being visited is gone too; a visitor
    // must not touch it afterwards.)
    template <class Visitor> void ForEachAttached(Visitor&& visit) {
        Normalize();
        const std::size_t count = store.size();
        const std::vector<std::uint32_t>& ids = attachedIds.Ids();
        std::uint64_t layout = attachedIds.Layout();
        for (std::size_t i = 0; i < ids.size();) {
            const std::uint32_t id = ids[i];
            if (id >= count || id >= store.size())
                break; // ascending: the rest came after the walk began
            if (store[id].IsAttached())
                visit(store[id]);
            // Something the visitor did moved the list (a nested walk tidied
            // it) or attached a slot this walk has still to reach.
            if (attachedIds.Layout() != layout || attachedIds.HasPendingBetween(id, count)) {
                Normalize();
                layout = attachedIds.Layout();
                i = attachedIds.After(id);
            } else {
                ++i;
            }
        }
    }

    // Attached slots, for sizing what a walk fills.
    std::size_t AttachedCount() {
        Normalize();
        return attachedIds.Ids().size();
    }

  private:
    ComponentFactory() = default;

    void Normalize() {
        attachedIds.Normalize(
            [this](std::uint32_t id) { return id < store.size() && store[id].attached; });
    }

    T& Slot(std::uint32_t id) {
        assert(id < store.size());
        return store[id];
    }

    std::deque<T> store;
    AttachedList attachedIds;
};
