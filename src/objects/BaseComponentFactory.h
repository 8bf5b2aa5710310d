#pragma once

#include <cstddef>
#include <cstdint>

// The type-erased face of a component store, so the ObjectManager can do its
// per-object work over all stores in one loop. The id-taking operations expect
// id < Size(); callers that cannot promise it check Size() first.
class BaseComponentFactory {
  public:
    virtual bool AttachedFlag(std::uint32_t id) = 0;
    // The only way a slot's flag changes, so the store knows its attached slots.
    virtual void SetAttachedFlag(std::uint32_t id, bool value) = 0;
    // Appends one detached, default-constructed slot.
    virtual void GrowByOne() = 0;
    // Runs the slot's OnRemove only; the caller owns the flag.
    virtual void RemoveComponentAt(std::uint32_t id) = 0;
    virtual void InitializeComponentAt(std::uint32_t id) = 0;
    // OnRemove of every attached slot in index order, then destroys every slot.
    virtual void ClearComponents() = 0;
    // Destroys every slot and hands the store's memory back.
    virtual void FreeComponentMemory() = 0;
    // Puts a freshly constructed default slot in place of slot `id`.
    virtual void ResetComponentAt(std::uint32_t id) = 0;
    virtual std::size_t Size() const = 0;
    virtual ~BaseComponentFactory() = default;
};
