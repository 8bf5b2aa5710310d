#pragma once

#include "core/Core.h"

class JSObject;

// What Core knows of every engine system: initialised once, updated every
// frame, and reachable from scripts through its own script object.
class Core::System {
  public:
    virtual void Initialize() {}
    virtual void Update(float /*dt*/) {}
    // The scripts are about to be replaced (live reload) and run again: every
    // script function the system keeps, and what the scripts made through it, go
    // now, so that nothing of the old scripts is called again. A system that
    // runs a holder of script functions it does not own forgets for it too.
    virtual void ForgetScriptState() {}
    // A new script wrapper on every call; null when the system has none.
    virtual JSObject* GetJSInstance();
    virtual ~System() = default;
};
