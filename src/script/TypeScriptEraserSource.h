#pragma once

#include <string_view>

// The type stripper's script (the npm package amaro's CommonJS bundle, its
// WebAssembly inside), built into the engine so that a packaged game carries it.
std::string_view TypeScriptEraserSource();
// What names that script: the SHA-256 of its bytes. Erased texts cached on
// disk by another stripper are never used.
std::string_view TypeScriptEraserVersion();
