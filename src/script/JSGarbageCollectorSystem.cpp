#include "script/JSGarbageCollectorSystem.h"

#include "script/ScriptHost.h"

void JSGarbageCollectorSystem::Update(float) {
    if (Advance())
        ScriptHost::Instance().CollectGarbage();
}
