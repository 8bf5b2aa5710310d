#include <regex>

#include <gtest/gtest.h>

#include "core/CommandLine.h"

TEST(CommandLine, AcceptsEveryOptionWithItsValueAndRejectsWhatItCannotUseByName) {
    const CommandLineOptions o =
        ParseCommandLine({"--frames", "10", "--resource", "/tmp/res", "--script-heap-mb", "256",
                          "--api-reference", "--screenshot", "--quiet"});
    EXPECT_TRUE(o.error.empty()) << o.error;
    EXPECT_EQ(o.frames, 10u);
    EXPECT_EQ(o.resourceDir, "/tmp/res");
    EXPECT_EQ(o.scriptHeapMiB, 256u);
    EXPECT_EQ(o.scriptTimeoutSeconds, -1.0); // the host's default
    EXPECT_EQ(ParseCommandLine({"--script-timeout", "1.5"}).scriptTimeoutSeconds, 1.5);
    EXPECT_EQ(ParseCommandLine({"--script-timeout", "0"}).scriptTimeoutSeconds, 0.0);
    EXPECT_TRUE(o.apiReference && o.screenshot && o.quiet && !o.apiTypeScript && !o.watch);
    const CommandLineOptions typed = ParseCommandLine({"--api-reference=typescript", "--watch"});
    EXPECT_TRUE(typed.apiReference && typed.apiTypeScript && typed.watch) << typed.error;
    EXPECT_TRUE(ParseCommandLine({"--help"}).help);
    EXPECT_TRUE(ParseCommandLine({"--new-game", "g", "--typescript"}).newGameTypeScript);
    EXPECT_NE(ParseCommandLine({"--typescript"}).error.find("--new-game DIR"), std::string::npos);
    const CommandLineOptions none = ParseCommandLine({});
    EXPECT_EQ(none.frames + none.scriptHeapMiB, 0u); // no limit, the host's default heap
    EXPECT_EQ(none.debugPort, -1);
    EXPECT_EQ(ParseCommandLine({"--debug"}).debugPort, kDefaultDebugPort);
    EXPECT_EQ(ParseCommandLine({"--debug=0"}).debugPort, 0);
    const CommandLineOptions waiting = ParseCommandLine({"--debug-wait", "--debug=9229"});
    EXPECT_TRUE(waiting.debugWait && waiting.debugPort == 9229) << waiting.error;
    for (const char* bad : {"--debug=65536", "--debug=", "--debug=-1", "--debug=x"})
        EXPECT_NE(ParseCommandLine({bad}).error.find("PORT"), std::string::npos) << bad;

    EXPECT_NE(ParseCommandLine({"--fast"}).error.find("--fast"), std::string::npos);
    for (const char* bad : {"ten", "-3", "0"})
        EXPECT_NE(ParseCommandLine({"--frames", bad}).error.find(bad), std::string::npos) << bad;
    for (const char* bad : {"0", "4096", "-1", "big"})
        EXPECT_NE(ParseCommandLine({"--script-heap-mb", bad}).error.find(bad), std::string::npos)
            << bad;
    for (const char* bad : {"-1", "x", "inf", "nan", "86401", "2s"})
        EXPECT_NE(ParseCommandLine({"--script-timeout", bad}).error.find(bad), std::string::npos)
            << bad;
    for (const char* option : {"--frames", "--resource", "--script-heap-mb", "--script-timeout"})
        EXPECT_FALSE(ParseCommandLine({option}).error.empty()) << option;
    // A screenshot needs a frame limit.
    EXPECT_NE(ParseCommandLine({"--screenshot"}).error.find("--frames"), std::string::npos);

    // The synopsis names every option the text below it explains, and each one parses.
    const std::string usage = CommandLineUsage("marrowvale");
    const std::string synopsis = usage.substr(0, usage.find("\n  --"));
    const std::regex described("\n  (--[a-z-]+)");
    for (auto at = std::sregex_iterator(usage.begin(), usage.end(), described);
         at != std::sregex_iterator(); ++at) {
        const std::string option = (*at)[1];
        EXPECT_NE(synopsis.find(option), std::string::npos) << option << " is not in the synopsis";
        EXPECT_EQ(ParseCommandLine({option, "1"}).error.find("unknown option '" + option),
                  std::string::npos);
    }
}
