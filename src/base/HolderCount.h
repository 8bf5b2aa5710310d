#pragma once

#include <cstddef>

// The count behind objects that scripts make with `new` and own together with the engine
// (a VoxelModel, a ScriptGameState): every holder adds itself, and the last one to let go
// frees the object. Objects made any other way (members, statics, caches) are never
// shared, and their holders' adds and removes do nothing.
class HolderCount {
  public:
    // Marks a new object as owned by its holders; `living` counts the shared objects of
    // its kind, what a leak would make grow.
    void MakeShared(std::size_t& living) {
        shared = true;
        this->living = &living;
        ++living;
    }
    bool IsShared() const { return shared; }
    std::size_t Get() const { return holders; }
    void Add() {
        if (shared)
            ++holders;
    }
    // True when the last holder let go: the owner then deletes the object. A remove
    // without an add never frees it.
    bool Remove() {
        if (!shared || holders == 0 || --holders > 0)
            return false;
        --*living;
        return true;
    }

  private:
    bool shared = false;
    std::size_t holders = 0;
    std::size_t* living = nullptr;
};
