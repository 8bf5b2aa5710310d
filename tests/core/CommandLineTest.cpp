#include <gtest/gtest.h>

#include "core/CommandLine.h"
#include "core/Core.h"

TEST(CommandLine, AcceptsFramesResourceAndHelp) {
    const CommandLineOptions o = ParseCommandLine({"--frames", "10", "--resource", "/tmp/res"});
    EXPECT_TRUE(o.error.empty());
    EXPECT_EQ(o.frames, 10u);
    EXPECT_EQ(o.resourceDir, "/tmp/res");
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_EQ(ParseCommandLine({}).frames, 0u);
}

TEST(CommandLine, RejectsWhatItCannotUseWithTheOffendingText) {
    EXPECT_NE(ParseCommandLine({"--fast"}).error.find("--fast"), std::string::npos);
    EXPECT_NE(ParseCommandLine({"--frames", "ten"}).error.find("ten"), std::string::npos);
    EXPECT_FALSE(ParseCommandLine({"--frames", "-3"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--frames", "0"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--frames"}).error.empty());
    EXPECT_FALSE(ParseCommandLine({"--resource"}).error.empty());
}

TEST(CommandLine, ResourceFolderPrefixesEveryEnginePath) {
    Core& core = Core::Instance();
    EXPECT_EQ(core.GetResourcePath("Scripts/startup.js"), "../resource/Scripts/startup.js");
    core.SetResourceDir("/opt/game");
    EXPECT_EQ(core.GetResourcePath("Scripts/startup.js"), "/opt/game/Scripts/startup.js");
}

TEST(CommandLine, ScriptHeapLimitAndApiReference) {
    const CommandLineOptions o = ParseCommandLine({"--script-heap-mb", "256", "--api-reference"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.scriptHeapMiB, 256u);
    EXPECT_TRUE(o.apiReference);
    EXPECT_EQ(ParseCommandLine({}).scriptHeapMiB, 0u); // the host's default
    for (const char* bad : {"0", "4096", "-1", "big"})
        EXPECT_NE(ParseCommandLine({"--script-heap-mb", bad}).error.find(bad), std::string::npos)
            << bad;
    EXPECT_FALSE(ParseCommandLine({"--script-heap-mb"}).error.empty());
}

TEST(CommandLine, ScreenshotNeedsAFrameLimit) {
    EXPECT_TRUE(ParseCommandLine({"--frames", "5", "--screenshot"}).screenshot);
    EXPECT_NE(ParseCommandLine({"--screenshot"}).error.find("--frames"), std::string::npos);
}
