#pragma once

struct JSContext;
class JSObject;

// The globals that browsers and Node both give and that pure-JavaScript npm
// packages take for granted: performance, queueMicrotask, structuredClone,
// TextEncoder/TextDecoder, atob/btoa, crypto, self and the rest of console.
// They behave as the web platform defines them, so a package that works in a
// browser finds what it probes for. What needs the system (the clock, random
// bytes, the structured clone) is native; the rest is script the engine runs
// itself, hidden from the debugger.
class WebPlatform {
  public:
    // The file name of that script. An error raised in it is reported where
    // the game's code called into it, and its frames stay out of stack traces.
    static constexpr const char* kScriptName = "marrowvale:web-platform.js";

    // Defines them all on the global, once per context; modules, CommonJS
    // files and classic scripts share them, and live reload keeps them.
    static bool Define(JSContext* cx, JSObject* global);
};
