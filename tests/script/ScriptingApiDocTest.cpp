#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

// docs/scripting-api.md is what `marrowvale --api-reference` prints; when a
// binding table changes, regenerate it with `make docs`.
TEST(ScriptingApiDoc, MatchesWhatTheEngineReports) {
    const std::string command = std::string(MARROWVALE_BINARY_DIR) + "/marrowvale --api-reference";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string generated;
    char buffer[4096];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        generated.append(buffer, count);
    ASSERT_EQ(::pclose(pipe), 0) << command;

    std::ifstream file(std::string(MARROWVALE_SOURCE_DIR) + "/docs/scripting-api.md",
                       std::ios::binary);
    std::stringstream committed;
    committed << file.rdbuf();
    EXPECT_TRUE(generated == committed.str())
        << "docs/scripting-api.md is out of date: run `make docs` and commit the result";
    EXPECT_NE(generated.find("\n## ObjectManager\n"), std::string::npos);
}
