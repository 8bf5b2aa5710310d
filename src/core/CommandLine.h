#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the engine was asked to do from its command line.
// The port a bare --debug listens on.
inline constexpr int kDefaultDebugPort = 4711;

struct CommandLineOptions {
    uint64_t frames = 0;            // 0: run until quit
    std::string resourceDir;        // empty: the default resource folder
    std::string newGameDir;         // --new-game: write a starter game there and exit
    bool newGameTypeScript = false; // --typescript: ... whose scripts are TypeScript
    std::string saveDir;            // empty: the game writes where it reads
    uint64_t scriptHeapMiB = 0;     // 0: the script host's default limit
    // Seconds; -1: the script host's default; 0: never.
    double scriptTimeoutSeconds = -1.0;
    bool apiReference = false;  // print the script API as Markdown and exit
    bool apiTypeScript = false; // ... as TypeScript declarations instead
    bool watch = false;         // run the game's scripts again when one changes
    bool help = false;
    int debugPort = -1;      // -1: no debugger; 0: any free port
    bool debugWait = false;  // hold the first script until a debugger client is ready
    bool screenshot = false; // save screenshot.jpg from the last frame (needs --frames)
    bool quiet = false;      // no progress lines from the engine (shader builds)
    std::string error;       // non-empty when the command line cannot be used
};

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args);
std::string CommandLineUsage(const std::string& program);
