#include "script/JSGarbageCollectorSystem.h"

#include "script/ScriptHost.h"

void JSGarbageCollectorSystem::Update(float) {
    // Promise reactions queued by this frame's callbacks run once it is done.
    ScriptHost::Instance().RunPendingJobs();
    if (Advance())
        ScriptHost::Instance().CollectGarbage();
}
