#include "base/Platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cstdio>
#include <time.h>

namespace Platform {

namespace {

// The windowing library keeps its display connection to itself; window ids
// are valid on any connection to the same server, so we keep our own.
Display* GetDisplay() {
    static Display* display = XOpenDisplay(nullptr);
    return display;
}

bool HasWindowManager(Display* display) {
    // A running EWMH window manager announces itself with a check window on
    // the root window.
    const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == 0)
        return false;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    const int status = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                          XA_WINDOW, &type, &format, &count, &remaining, &data);
    const bool found = status == Success && type == XA_WINDOW && count == 1;
    if (data)
        XFree(data);
    return found;
}

bool RequestMaximizedState(Display* display, Window window) {
    const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
    const Atom vertical = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False);
    const Atom horizontal = XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = state;
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(vertical);
    event.xclient.data.l[2] = static_cast<long>(horizontal);
    event.xclient.data.l[3] = 1; // sent by a normal application
    return XSendEvent(display, DefaultRootWindow(display), False,
                      SubstructureRedirectMask | SubstructureNotifyMask, &event) != 0;
}

// The window under watch and what became of it. Written from the error handler, which
// Xlib calls on the main thread while it reads replies.
struct WatchedWindow {
    Window window = 0;
    bool lost = false;
    char reason[128] = "";
    XErrorHandler previous = nullptr;
    bool installed = false;
};

WatchedWindow& Watched() {
    static WatchedWindow watched;
    return watched;
}

int OnXError(Display* display, XErrorEvent* error) {
    WatchedWindow& watched = Watched();
    if (watched.lost)
        return 0;
    // A window destroyed under us shows as BadWindow or BadDrawable on it, or as an
    // extension's drawable error (GLX) when the context next touches it. Other errors
    // about a live window are real faults and keep their old handling.
    const bool gone = error->error_code == BadWindow || error->error_code == BadDrawable ||
                      error->error_code >= 128;
    if (watched.window != 0 && error->resourceid == watched.window && gone) {
        watched.lost = true;
        // A local table look-up for core errors; it sends nothing to the server.
        XGetErrorText(display, error->error_code, watched.reason, sizeof watched.reason);
        return 0;
    }
    return watched.previous ? watched.previous(display, error) : 0;
}

} // namespace

void WatchWindow(sf::WindowHandle window) {
    WatchedWindow& watched = Watched();
    if (!watched.installed) {
        watched.previous = XSetErrorHandler(&OnXError);
        watched.installed = true;
    }
    watched.window = static_cast<Window>(window);
    watched.lost = false;
    watched.reason[0] = '\0';
}

bool IsWindowLost(std::string* reason) {
    const WatchedWindow& watched = Watched();
    if (watched.lost && reason)
        *reason = watched.reason;
    return watched.lost;
}

bool CheckWatchedWindow() {
    WatchedWindow& watched = Watched();
    if (watched.lost)
        return false;
    Display* display = GetDisplay();
    if (!display || !watched.installed || watched.window == 0)
        return true;
    // The reply waits for the error, if any, which marks the window lost.
    XWindowAttributes attributes;
    XGetWindowAttributes(display, watched.window, &attributes);
    return !watched.lost;
}

bool ShowErrorBox(const char* title, const char* text) {
    std::fprintf(stderr, "[%s] %s\n", title, text);
    std::fflush(stderr);
    return true;
}

bool HasDisplay() {
    return GetDisplay() != nullptr;
}

bool MinimizeWindow(sf::WindowHandle window) {
    Display* display = GetDisplay();
    if (!display || window == 0)
        return false;
    const bool sent = XIconifyWindow(display, window, DefaultScreen(display)) != 0;
    XSync(display, False);
    return sent;
}

bool MaximizeWindow(sf::WindowHandle window) {
    Display* display = GetDisplay();
    if (!display || window == 0)
        return false;
    bool done = HasWindowManager(display) && RequestMaximizedState(display, window);
    if (!done) {
        const int screen = DefaultScreen(display);
        done = XMoveResizeWindow(display, window, 0, 0, DisplayWidth(display, screen),
                                 DisplayHeight(display, screen)) != 0;
    }
    XSync(display, False);
    return done;
}

bool GetClientSize(sf::WindowHandle window, unsigned& width, unsigned& height) {
    Display* display = GetDisplay();
    if (!display || window == 0)
        return false;
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return false;
    width = static_cast<unsigned>(attributes.width);
    height = static_cast<unsigned>(attributes.height);
    return true;
}

int64_t CoarseSteadyNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
    return int64_t(now.tv_sec) * 1000000000 + now.tv_nsec;
}

} // namespace Platform
