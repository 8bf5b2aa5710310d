#pragma once

#include <cstdint>
#include <string>

#include <SFML/Window/WindowHandle.hpp>

// The few operating-system services the engine needs, kept in one place so
// that a port only touches this layer.
namespace Platform {

// A modal error report. Here it goes to standard error, where a developer
// running the engine from a terminal or a test sees it.
bool ShowErrorBox(const char* title, const char* text);

// Whether the display server (the X display named by DISPLAY) can be reached.
// The windowing library ends the process when it needs a display and has
// none, so nothing may create a window or query input before this holds.
bool HasDisplay();

// Asks the window manager to iconify the window. Without a window manager
// nothing can iconify it and the request changes nothing. Returns false only
// when the request could not be made at all.
bool MinimizeWindow(sf::WindowHandle window);

// Asks the window manager to maximize the window. Without one (or one that
// cannot maximize) the window is placed at (0, 0) with the screen's size
// instead, which is what maximizing means on a bare display.
bool MaximizeWindow(sf::WindowHandle window);

// Size of the window's drawable area as the display server knows it now. A
// window manager may apply a requested change later than this call.
bool GetClientSize(sf::WindowHandle window, unsigned& width, unsigned& height);

// Another program can destroy the window outright (`xdotool windowclose`, a crashed
// window manager). Xlib's answer to the errors that follow is to end the process on the
// spot; once the window is watched, an error about it marks it lost instead, and every
// later error (the teardown of what pointed at it) is dropped. Errors about anything else
// before that still end the process as they always did.
void WatchWindow(sf::WindowHandle window);
// Whether the watched window is gone; `reason` gets the X error that said so.
bool IsWindowLost(std::string* reason = nullptr);
// Asks the display server whether the watched window still exists (one round trip) and
// marks it lost if not. True while it exists or when no window is watched. Drawing into a
// window that is already gone damages the software rasteriser's memory, so the renderer
// asks before each frame rather than learn it from the drawing's own errors.
bool CheckWatchedWindow();

// Nanoseconds of the steady clock (std::chrono::steady_clock's), to within a
// few milliseconds: read in a few nanoseconds where an exact reading costs
// several times that, for what is read on every call into script.
int64_t CoarseSteadyNanoseconds();

} // namespace Platform
