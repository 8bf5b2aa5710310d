#pragma once

#include "objects/GameObject.h"

// Base of every component. Components live by value in their type's store at the
// index of their object's id; `attached` says whether that object currently has
// the component. The store and the ObjectManager drive the hooks; a type
// overrides only what it needs.
class Component {
  public:
    Component() = default;

    // Second start-up step, after all of an object's components were added, so
    // a component may look up its siblings here.
    virtual void Initialize();
    // Only ever the flag; virtual so generic code can ask any slot uniformly.
    virtual bool IsAttached() const;
    // Releases what OnAdd or later work acquired. Also reached for slots that
    // are detached or were never added, so overrides must tolerate that.
    virtual void OnRemove();
    // Runs after `attached` and `owner` are set. A type without one keeps
    // whatever its slot last held, across removal and reuse of the id.
    virtual void OnAdd();
    virtual ~Component();

    GameObject owner;
    bool attached = false;
};
