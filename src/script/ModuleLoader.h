#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct JSContext;
class JSObject;
class TypeScriptEraser;

// The module registry of the one script context: ES modules of the game,
// npm packages (ES modules, CommonJS and JSON files) and the engine itself as
// the module "marrowvale".
//
// A graph is read and compiled whole before anything of it runs, so every
// file that cannot be found or compiled is reported at the import that named
// it, and nothing of a broken graph runs. Each module is evaluated once per
// registry; Reset starts a fresh one. import() is served from the job queue,
// never in the middle of the script that asked for it.
class ModuleLoader {
  public:
    // Installs the resolve, import.meta and import() hooks on the context.
    explicit ModuleLoader(JSContext* cx);
    ~ModuleLoader();
    ModuleLoader(const ModuleLoader&) = delete;
    ModuleLoader& operator=(const ModuleLoader&) = delete;

    // Loads, links and evaluates the module at `path` and everything it
    // imports. Errors are reported; a rejection after a top-level await is
    // reported when it happens. False when the graph did not load or its
    // evaluation failed at once.
    bool RunFile(const std::string& path);
    // The namespace of the module at `path`, loaded, linked and evaluated with
    // everything it imports (once per registry, as any import). Null, with the
    // error pending, when the graph does not load or its evaluation fails.
    JSObject* Import(const std::string& path);
    // How long an entry module may wait on a top-level await before
    // ReportWaiting says which module holds it up.
    static constexpr std::chrono::seconds kWaitingReportDelay{5};
    // Once a frame: names, once, the module whose top-level await has kept an
    // entry module from finishing for kWaitingReportDelay by `now`.
    void ReportWaiting(std::chrono::steady_clock::time_point now);
    // Compiles the module at `path` alone, reporting a syntax error.
    bool CheckFile(const std::string& path);
    // Drops every module and CommonJS package loaded so far.
    void Reset();

    // The files of the modules loaded so far, packages included.
    std::vector<std::string> GetModuleFiles() const;
    std::size_t GetModuleCount() const;

    // What erases the types of the TypeScript files this registry loads; its
    // cache outlives Reset.
    TypeScriptEraser& GetTypeScriptEraser();

    // Whether a file runs as a module: .mjs, TypeScript (.ts, .mts, and .cts
    // as CommonJS), or .js under a package.json saying "type": "module".
    static bool IsModuleFile(const std::string& path);
    // The game's entry module in its scripts folder: main.mjs, main.ts, or the file its
    // package.json names in "main" when that is a module. Empty for none.
    static std::string FindGameEntry(const std::string& scriptsFolder);

    struct Impl;

  private:
    std::unique_ptr<Impl> impl;
};
