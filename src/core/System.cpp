#include "core/System.h"

#include "script/ScriptHost.h"

JSObject* Core::System::GetJSInstance() {
    // A system without a script class of its own; the script gets null.
    ScriptHost::Instance().ReportWarning("Warning: Calling GetJSInstance of base System");
    return nullptr;
}
