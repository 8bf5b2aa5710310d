#include "core/System.h"

JSObject* Core::System::GetJSInstance() {
    return nullptr;
}
