#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string>

struct JSContext;

// Runs TypeScript as written: blanks its type syntax (annotations, interfaces,
// type aliases, generics, `as`, `satisfies`, `!`, type-only imports, `declare`,
// access modifiers, `abstract`, overload signatures) with spaces, so every
// line and column of the JavaScript left is the source's and the script
// engine's errors, stack traces and breakpoints name the .ts file's own
// positions. Syntax that would need code generated (enum, namespaces with
// values, parameter properties, `import x = require()`) is refused at its
// position with what to write instead.
//
// The stripper is the npm package amaro (its strip-only mode, WebAssembly
// inside), compiled into the engine and run in a global of its own, started
// on the first TypeScript file: the game's code never sees it, nor it the game's.
class TypeScriptEraser {
  public:
    explicit TypeScriptEraser(JSContext* cx);
    ~TypeScriptEraser();
    TypeScriptEraser(const TypeScriptEraser&) = delete;
    TypeScriptEraser& operator=(const TypeScriptEraser&) = delete;

    // .ts, .mts and .cts.
    static bool IsTypeScriptFile(const std::filesystem::path& file);

    // Replaces `source` (UTF-8, or one byte a character) by its JavaScript,
    // as UTF-8. False with an error pending in the caller's realm, at the
    // line and column of `fileName` where the erasure failed.
    bool Erase(const std::string& fileName, std::string& source);

    // Erased texts are kept by their source: a module loaded again (live
    // reload, a second registry) is not erased again. They are kept on disk
    // too, under the folder the game saves in (GetDiskCacheFolder), so that
    // the next start of the game finds them there and never starts the
    // stripper. ClearCache forgets those in memory only.
    std::size_t GetCachedCount() const;
    void ClearCache();
    // Lets the stripper go, and the memory of its WebAssembly with it, until a
    // text missing from both caches starts it again.
    void Stop();
    bool IsStarted() const;
    // The running game's disk cache: TypeScriptCache::kFolderName in its save
    // folder (--save-dir), or in its own folder when it has none, as its
    // other saves. Never in an installed game's folder, which its launcher
    // runs with a save folder.
    static std::filesystem::path GetDiskCacheFolder();

    // Since this eraser was made: texts the stripper erased, and texts taken
    // from the disk cache.
    std::size_t GetErasedCount() const;
    std::size_t GetDiskLoadedCount() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};
