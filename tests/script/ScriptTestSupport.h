#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

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
