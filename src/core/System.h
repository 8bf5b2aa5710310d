#pragma once

#include "core/Core.h"

class JSObject;

// What Core knows of every engine system: initialised once, updated every
// frame, and reachable from scripts through its own script object.
class Core::System {
  public:
    virtual void Initialize() {}
    virtual void Update(float /*dt*/) {}
    // A new script wrapper on every call; null when the system has none.
    virtual JSObject* GetJSInstance();
    virtual ~System() = default;
};
