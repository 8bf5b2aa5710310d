#pragma once

#include <cstdint>

// An entity is nothing but this handle: an index shared by every component store
// and the generation that index had when the handle was issued. Handles are
// copied freely; whether one still denotes a live object is asked of the
// ObjectManager, never assumed.
class GameObject {
  public:
    // Generations start at 0 and only grow, so all bits set never validates;
    // the id is outside every store for the same reason.
    static constexpr std::uint32_t kNoId = 0xFFFFFFFFu;
    static constexpr std::uint32_t kNoGeneration = 0xFFFFFFFFu;

    GameObject() = default;
    GameObject(std::uint32_t id, std::uint32_t generation) : id(id), generation(generation) {}
    GameObject(const GameObject&) = default;
    GameObject& operator=(const GameObject&) = default;
    virtual ~GameObject() = default;

    std::uint32_t id = kNoId;
    std::uint32_t generation = kNoGeneration;
};
