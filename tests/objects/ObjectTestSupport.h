#pragma once

#include <functional>

#include <gtest/gtest.h>

#include "objects/Component.h"
#include "objects/ComponentFactory.h"
#include "objects/ComponentRegistry.h"
#include "objects/ObjectManager.h"

// A component outside the engine's list whose hooks tests can watch and steer.
// It has no OnAdd, so its slot keeps `value` across removal and id reuse.
struct ProbeComponent : Component {
    void Initialize() override { ++initializeCalls; }
    void OnRemove() override {
        ++removeCalls;
        if (onRemove) {
            onRemove(*this);
        }
    }

    int value = 0;
    int initializeCalls = 0;
    int removeCalls = 0;
    static inline std::function<void(ProbeComponent&)> onRemove;
};

// Starts from its defaults on every add.
struct ResettingProbe : Component {
    void OnAdd() override { value = 0; }
    int value = 0;
};

class Objects : public ::testing::Test {
  protected:
    Objects() {
        ComponentRegistry::Instance().Register(ComponentFactory<ProbeComponent>::Instance());
        ComponentRegistry::Instance().Register(ComponentFactory<ResettingProbe>::Instance());
    }
    ~Objects() override { ProbeComponent::onRemove = nullptr; }

    static ProbeComponent* Probe(const GameObject& obj) {
        return ObjectManager::GetComponent<ProbeComponent>(obj);
    }

    ObjectManager om;
};
