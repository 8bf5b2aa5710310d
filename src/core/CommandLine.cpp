#include "core/CommandLine.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "script/ScriptHost.h"

namespace {

bool ParseCount(const std::string& text, uint64_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long long parsed = std::strtoull(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0')
        return false;
    value = parsed;
    return true;
}

// Seconds, fractions allowed; up to a day, so that the limit stays a limit.
bool ParseSeconds(const std::string& text, double& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !std::isfinite(parsed) || parsed > 86400.0)
        return false;
    value = parsed;
    return true;
}

std::string ScriptTimeoutText() {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ScriptHost::kDefaultScriptTimeoutSeconds);
    return text;
}

} // namespace

CommandLineOptions ParseCommandLine(const std::vector<std::string>& args) {
    CommandLineOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--frames") {
            if (!hasValue || !ParseCount(args[i + 1], options.frames) || options.frames == 0) {
                options.error = "--frames needs a whole number of frames above 0, got '" +
                                (hasValue ? args[i + 1] : std::string()) + "'";
                return options;
            }
            ++i;
        } else if (arg == "--script-heap-mb") {
            // The engine takes its heap limit as a 32-bit byte count.
            if (!hasValue || !ParseCount(args[i + 1], options.scriptHeapMiB) ||
                options.scriptHeapMiB == 0 || options.scriptHeapMiB > 4095) {
                options.error = "--script-heap-mb needs a size in MiB from 1 to 4095, got '" +
                                (hasValue ? args[i + 1] : std::string()) + "'";
                return options;
            }
            ++i;
        } else if (arg == "--script-timeout") {
            if (!hasValue || !ParseSeconds(args[i + 1], options.scriptTimeoutSeconds)) {
                options.error = "--script-timeout needs seconds from 0 (never) to 86400, got '" +
                                (hasValue ? args[i + 1] : std::string()) + "'";
                return options;
            }
            ++i;
        } else if (arg == "--api-reference" || arg == "--api-reference=markdown") {
            options.apiReference = true;
        } else if (arg == "--api-reference=typescript") {
            options.apiReference = options.apiTypeScript = true;
        } else if (arg == "--watch") {
            options.watch = true;
        } else if (arg == "--debug") {
            options.debugPort = kDefaultDebugPort;
        } else if (arg.rfind("--debug=", 0) == 0) {
            uint64_t port = 0;
            if (!ParseCount(arg.substr(8), port) || port > 65535) {
                options.error = "--debug=PORT needs a port from 0 (any free one) to 65535, got '" +
                                arg.substr(8) + "'";
                return options;
            }
            options.debugPort = static_cast<int>(port);
        } else if (arg == "--debug-wait") {
            options.debugWait = true;
        } else if (arg == "--screenshot") {
            options.screenshot = true;
        } else if (arg == "--quiet") {
            options.quiet = true;
        } else if (arg == "--resource" || arg == "--game") {
            if (!hasValue || args[i + 1].empty()) {
                options.error = arg + " needs a folder";
                return options;
            }
            options.resourceDir = args[++i];
        } else if (arg == "--save-dir") {
            if (!hasValue || args[i + 1].empty()) {
                options.error = "--save-dir needs a folder";
                return options;
            }
            options.saveDir = args[++i];
        } else if (arg == "--new-game") {
            if (!hasValue || args[i + 1].empty()) {
                options.error = "--new-game needs the folder to write the game to";
                return options;
            }
            options.newGameDir = args[++i];
        } else if (arg == "--typescript") {
            options.newGameTypeScript = true;
        } else {
            options.error = "unknown option '" + arg + "'";
            return options;
        }
    }
    if (options.debugWait && options.debugPort < 0)
        options.debugPort = kDefaultDebugPort;
    if (options.screenshot && options.frames == 0)
        options.error = "--screenshot needs --frames N: it saves the last frame";
    if (options.newGameTypeScript && options.newGameDir.empty())
        options.error = "--typescript goes with --new-game DIR: it writes the starter game in "
                        "TypeScript";
    return options;
}

std::string CommandLineUsage(const std::string& program) {
    return "usage: " + program +
           " [--frames N [--screenshot]] [--game DIR | --resource DIR]\n"
           "       [--new-game DIR [--typescript]] [--save-dir DIR] [--script-heap-mb N]\n"
           "       [--script-timeout S] [--watch]\n"
           "       [--debug[=PORT] [--debug-wait]] [--quiet] [--api-reference[=typescript]]\n"
           "       [--help]\n"
           "  --frames N          stop after N frames, as if a script had stopped the game\n"
           "  --screenshot        with --frames: save the last frame as screenshot.jpg\n"
           "  --game DIR          the game's folder instead of ../resource/; paths that\n"
           "                      scripts write ../resource/... are read from DIR\n"
           "  --resource DIR      the same as --game DIR\n"
           "  --new-game DIR      write a starter game to DIR (new or empty) and exit\n"
           "  --typescript        with --new-game: the starter's scripts in TypeScript\n"
           "  --save-dir DIR      what the game saves under ../resource/ (models, meshes)\n"
           "                      and screenshots go to DIR, which reads look in first\n"
           "  --script-heap-mb N  limit the script heap to N MiB (default " +
           std::to_string(ScriptHost::kDefaultHeapLimitBytes >> 20) +
           "); frames slow down\n"
           "                      sharply when live script data nears the limit\n"
           "  --script-timeout S  stop a script that runs S seconds without returning to\n"
           "                      the engine, naming its file and line (default " +
           ScriptTimeoutText() +
           ";\n"
           "                      0 never); with --debug it pauses there instead\n"
           "  --watch             when a file under the resource folder's Scripts/ changes,\n"
           "                      clear the scene and run the game's scripts again\n"
           "  --debug[=PORT]      run the script debugger, for clients on 127.0.0.1:PORT\n"
           "                      (default " +
           std::to_string(kDefaultDebugPort) +
           "; 0 picks a free port)\n"
           "  --debug-wait        with the debugger: run no script until a client has set\n"
           "                      its breakpoints\n"
           "  --quiet             leave out the engine's progress lines (\"... compiled\n"
           "                      successfully.\", \"Shaders linked successfully.\") and\n"
           "                      what the window library says about the machine\n"
           "  --api-reference     print the script API as Markdown and exit\n"
           "  --api-reference=typescript\n"
           "                      print it as TypeScript declarations (docs/marrowvale.d.ts)\n"
           "  --help              show this text\n";
}
