#pragma once

#include <vector>

#include "objects/BaseComponentFactory.h"

// Every component store in the fixed type order, for the ObjectManager's loops
// over all types. Built on first use from the type list, so all stores exist
// before the first object can be created, whoever asks first.
class ComponentRegistry {
  public:
    static ComponentRegistry& Instance();

    const std::vector<BaseComponentFactory*>& Stores() const { return stores; }

    // For stores of types outside the engine's list (tools, tests). They go
    // after the built-in ones, so the built-in order is never disturbed, and
    // are brought up to the slot count of the others. Registering twice is a
    // no-op.
    void Register(BaseComponentFactory& store);

    ComponentRegistry(const ComponentRegistry&) = delete;
    ComponentRegistry& operator=(const ComponentRegistry&) = delete;

  private:
    ComponentRegistry();

    std::vector<BaseComponentFactory*> stores;
};
