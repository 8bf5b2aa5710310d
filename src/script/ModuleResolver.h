#pragma once

#include <filesystem>
#include <string>

// What a resolved file is, which decides how the loader compiles it.
enum class ModuleFormat {
    EsModule,    // .mjs, or .js under a package.json with "type": "module", or a "module" entry
    CommonJs,    // .cjs, or .js under a package.json with "type": "commonjs"
    Ambiguous,   // .js with no "type" anywhere above it: the loader looks at its syntax
    Json,        // .json
    Engine,      // the specifier "marrowvale": the engine's own script classes
    NodeBuiltin, // "fs", "node:path", ...: the engine does not have them
};

struct ModuleResolution {
    bool ok = false;
    // Absolute and canonical, so that one file reached by two routes is one module.
    std::filesystem::path path;
    ModuleFormat format = ModuleFormat::EsModule;
    // For NodeBuiltin: the built-in's name without "node:" ("fs").
    std::string builtin;
    // For a package: its name ("simplex-noise", "@scope/name"); empty otherwise.
    std::string packageName;
    // When !ok: why, naming the specifier, without the importer's position
    // (the loader adds that).
    std::string error;
};

// Finds the file a specifier names, as Node finds it: for `import`, exact
// relative and absolute paths (extensions are never guessed, but a missing one
// is pointed out), bare names through node_modules folders up from the
// importer, package.json "exports" (strings, ".", subpaths, conditions),
// then "module", "main" and index.js; for `require`, CommonJS's extension
// and folder probing. Reads package.json files and never throws.
class ModuleResolver {
  public:
    enum class Mode { Import, Require };

    // While one lives, the canonical form of each folder is looked up once:
    // the loader holds one for the reading of a whole graph. Nothing is kept
    // beyond it, since games are edited and reinstalled while they run.
    class Scope {
      public:
        Scope();
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;
    };

    // `importer` is the file that imports, or a folder when the import comes
    // from no file (the developer console, a game's entry point).
    static ModuleResolution Resolve(const std::string& specifier,
                                    const std::filesystem::path& importer, Mode mode);

    // The format of a file by its extension and the nearest package.json.
    static ModuleFormat FormatOf(const std::filesystem::path& file);

    // True for the names of Node's built-in modules, with or without "node:".
    static bool IsNodeBuiltin(const std::string& specifier);
};
