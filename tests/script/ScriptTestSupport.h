#pragma once

#include <string>

#include <gtest/gtest.h>

#include "script/ScriptHost.h"

// Runs JavaScript through the engine's own host.
class ScriptTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(host().Initialize()); }

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
