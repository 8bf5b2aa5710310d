#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "base/Path.h"
#include "script/ScriptCallback.h"
#include "script/ScriptHost.h"

// Runs JavaScript through the engine's own host; fixtures of other suites
// (window tests, say) mix it in and initialise the host themselves.
class ScriptRunner {
  protected:
    static ScriptHost& host() { return ScriptHost::Instance(); }

    // String(completion value), or "error: " and the reported error.
    static std::string Eval(const std::string& source) {
        std::string result;
        if (!host().Evaluate(source, "test.js", &result))
            return "error: " + host().GetLastError();
        return result;
    }

    // Runs statements; the reported error text, or "" when none.
    static std::string ErrorOf(const std::string& source) {
        return host().Evaluate(source, "test.js") ? std::string() : host().GetLastError();
    }
};

// How often `part` occurs in `text`: messages said once must not repeat.
inline std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++found;
    return found;
}

// A script function the engine calls later, as components do; scripts reach
// it as Hook.Instance().callback (the class is bound in CoreScriptTest.cpp).
struct Hook {
    ScriptCallback callback;
    static Hook* Instance() {
        static Hook hook;
        return &hook;
    }
};

class ScriptTest : public ::testing::Test, protected ScriptRunner {
  protected:
    void SetUp() override { ASSERT_TRUE(host().Initialize()); }
};

// A resource folder of the test's own, with Scripts/ in it; removed with the
// object.
class TempFolder {
  public:
    TempFolder()
        : path(std::filesystem::temp_directory_path() /
               ("marrowvale-test-" + std::to_string(::getpid()) + "-" + std::to_string(++count))) {
        std::filesystem::create_directories(path / "Scripts");
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    // Writes Scripts/<name>; returns its path.
    std::string Write(const std::string& name, const std::string& source) const {
        const std::filesystem::path file = path / "Scripts" / name;
        std::ofstream(file, std::ios::binary) << source;
        return file.string();
    }

    const std::filesystem::path path;

  private:
    static inline int count = 0;
};

// The engine writes only in a game's folders; a test that saves to a folder of its own makes
// it the save folder while this lives.
class SaveFolderScope {
  public:
    explicit SaveFolderScope(const std::filesystem::path& folder) : before(GetSaveFolder()) {
        SetSaveFolder(folder.string());
    }
    ~SaveFolderScope() { SetSaveFolder(before); }

  private:
    const std::string before;
};
