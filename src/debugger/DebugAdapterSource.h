#pragma once

#include <string>

// The debugger's adapter script (DebugAdapter.js), built into the engine so
// that a packaged game carries it.
std::string DebugAdapterSource();
