#pragma once

// The few operating-system services the engine needs, kept in one place so
// that a port only touches this layer.
namespace Platform {

// A modal error report. Here it goes to standard error, where a developer
// running the engine from a terminal or a test sees it.
bool ShowErrorBox(const char* title, const char* text);

} // namespace Platform
