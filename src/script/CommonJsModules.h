#pragma once

// Script-layer only: includes the script engine's headers.
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <js/RootingAPI.h>
#include <js/TypeDecls.h>

class TypeScriptEraser;

// The CommonJS side of npm packages: `module.exports`, `require` with Node's
// file and folder probing, and JSON files. Each file runs once per registry;
// a cycle sees the exports filled so far, as in Node.
class CommonJsModules {
  public:
    // `engineNames` gives what require("marrowvale") returns; `eraser`, when
    // given, turns the TypeScript files require() reads (.cts) into JavaScript.
    using EngineNames = std::function<bool(JS::MutableHandleValue)>;
    CommonJsModules(JSContext* cx, EngineNames engineNames, TypeScriptEraser* eraser = nullptr);
    ~CommonJsModules();
    CommonJsModules(const CommonJsModules&) = delete;
    CommonJsModules& operator=(const CommonJsModules&) = delete;

    // A file's body as the function Node wraps it in; null with a syntax
    // error pending.
    JSFunction* Compile(const std::string& source, const std::string& fileName);
    // The module.exports of the file at `path`, running it first when it has
    // not run (from `source` or `compiled` when the caller has them).
    bool Exports(const std::filesystem::path& path, const std::string* source,
                 JS::HandleFunction compiled, JS::MutableHandleValue out);
    // A JSON file's value; a syntax error names the file.
    bool ParseJson(const std::filesystem::path& path, const std::string& source,
                   JS::MutableHandleValue out);
    // require(specifier) from the file `importer`.
    bool Require(const std::string& specifier, const std::filesystem::path& importer,
                 JS::MutableHandleValue out);

    void Reset();
    std::vector<std::string> GetFiles() const;

    // Why a Node built-in cannot be had, naming the package that wants it.
    static std::string NeedsBuiltin(const std::string& builtin,
                                    const std::filesystem::path& importer);

  private:
    bool Run(const std::filesystem::path& path, JS::HandleFunction body,
             JS::MutableHandleValue out);
    // The exports of a file that ran already (`found`); false on a failure.
    bool Cached(const std::string& file, JS::MutableHandleValue out, bool& found);
    // The file's bytes, or a script error saying why not.
    bool Read(const std::filesystem::path& path, std::string& source);

    JSContext* cx;
    EngineNames engineNames;
    TypeScriptEraser* eraser;
    // `module` objects by file.
    std::map<std::string, std::unique_ptr<JS::PersistentRootedObject>> modules;
};
