#include "script/JSGarbageCollectorSystem.h"

#include <chrono>

#include "script/ModuleLoader.h"
#include "script/ScriptErrors.h"
#include "script/ScriptHost.h"

// A frame that collects starts a full collection; the frames after it carry it
// on a slice at a time until it is done, so no frame pays for all of it. The
// interval still means one full collection per interval: one that has not
// finished when the next is due is finished first.
void JSGarbageCollectorSystem::Update(float) {
    ScriptHost& host = ScriptHost::Instance();
    // The script layer's one per-frame system also starts its reports' frame.
    script::StartFrame();
    if (ModuleLoader* modules = host.GetModules())
        modules->ReportWaiting(std::chrono::steady_clock::now());
    if (Advance())
        host.StartGarbageCollection();
    else
        host.ContinueGarbageCollection();
}
