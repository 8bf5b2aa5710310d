#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "objects/ComponentFactory.h"
#include "objects/GameObject.h"

// Issues and retires object ids, destroys objects late (end of frame or an
// explicit carry-out) and clears the world. Object state lives in the component
// stores and in one process-wide generations table, so the operations that do
// not issue or retire ids are static and need no manager.
//
// Scripts run inside component hooks and may call back into any of this at any
// time, including clearing the world in the middle of a carry-out. Every loop
// here re-checks bounds and notices a clear that happened under it, so such
// calls never reach memory outside a store or act on an object that a clear
// replaced.
class ObjectManager {
  public:
    ObjectManager();
    // Clears all objects (their components' OnRemove runs).
    virtual ~ObjectManager();
    ObjectManager(const ObjectManager&) = delete;
    ObjectManager& operator=(const ObjectManager&) = delete;

    // A new object without components. Reuses the most recently released id
    // first. Asked for while the world is being cleared, it returns a handle
    // that never validates: that object would not outlive the clear anyway.
    GameObject NewObject();
    // Requests destruction at the next carry-out; until then the object stays
    // valid and its components keep working.
    void DeleteObject(const GameObject& obj);
    // Carries out all requested destructions now, including those requested
    // while it runs. Requests for objects that are no longer valid (stale
    // handles, repeated requests) are ignored.
    void DelayedDestruction();
    // End-of-frame work.
    void Update() { DelayedDestruction(); }
    // Destroys every object now and restarts ids at 0 with generation 0.
    void ClearAllObjects();
    // As ClearAllObjects, and gives every store's memory back.
    void ClearAllObjects_FreeMemory();

    static bool IsValid(const GameObject& obj);
    // Same object slot, generation aside.
    static bool CompareObj(const GameObject& a, const GameObject& b) { return a.id == b.id; }
    // Runs Initialize of the object's attached components in type order, as
    // often as it is called.
    static void InitializeObj(const GameObject& obj);

    // Per-type operations act on slot obj.id whether or not obj is still valid
    // (the caller checks IsValid); an id outside the store gives nullptr/false
    // and does nothing.
    template <class T> static T* GetComponent(const GameObject& obj);
    template <class T> static bool HasComponent(const GameObject& obj);
    // Attaches (again, if already attached: OnAdd reruns) and returns the slot.
    template <class T> static T* AddComponent(const GameObject& obj);
    // Runs OnRemove and detaches; nullptr if a hook cleared the world meanwhile.
    template <class T> static T* RemoveComponent(const GameObject& obj);

    // Current generation of every id issued since the last clear.
    static const std::vector<std::uint32_t>& Generations();
    // Changes when a clear starts and again when it ends; a loop that calls
    // hooks compares it to notice that the world was torn down under it, and
    // component wrappers to notice that their world is gone.
    static std::uint64_t ClearCount();

    const std::deque<std::uint32_t>& FreeIds() const { return freeIds; }
    // Every object issued and not yet destroyed, by id: those awaiting
    // destruction too. Released ids keep their next generation, so only the
    // free list tells them apart from live ones.
    std::vector<GameObject> GetLiveObjects() const;
    const std::vector<GameObject>& PendingDestruction() const { return pendingDestruction; }

    // Live objects, including those awaiting destruction. Scripts may
    // overwrite it; ids never depend on it.
    std::uint32_t numGameObjects = 0;

  private:
    void Clear(bool releaseMemory);

    std::deque<std::uint32_t> freeIds; // a stack: the id released last is reused first
    std::vector<GameObject> pendingDestruction;
    bool carryingOut = false;
    bool clearing = false;
};

template <class T> T* ObjectManager::GetComponent(const GameObject& obj) {
    return ComponentFactory<T>::Instance().At(obj.id);
}

template <class T> bool ObjectManager::HasComponent(const GameObject& obj) {
    const T* slot = GetComponent<T>(obj);
    return slot != nullptr && slot->IsAttached();
}

template <class T> T* ObjectManager::AddComponent(const GameObject& obj) {
    T* slot = GetComponent<T>(obj);
    if (slot == nullptr) {
        return nullptr;
    }
    const std::uint64_t clears = ClearCount();
    ComponentFactory<T>::Instance().SetAttachedFlag(obj.id, true);
    slot->owner = obj;
    slot->OnAdd();
    return ClearCount() == clears ? slot : nullptr;
}

template <class T> T* ObjectManager::RemoveComponent(const GameObject& obj) {
    T* slot = GetComponent<T>(obj);
    if (slot == nullptr) {
        return nullptr;
    }
    const std::uint64_t clears = ClearCount();
    slot->OnRemove();
    if (ClearCount() != clears) {
        return nullptr; // the slot went with the clear
    }
    ComponentFactory<T>::Instance().SetAttachedFlag(obj.id, false);
    return slot;
}
