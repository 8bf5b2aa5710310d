// `--new-game` writes a game that runs, draws its scene and passes the
// TypeScript check as written, from a folder whose path has a space.
#include <cstdio>
#include <filesystem>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>

#include "core/NewGame.h"

namespace {

namespace fs = std::filesystem;

std::string Shell(const std::string& command, int& status) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string printed;
    char buffer[4096];
    for (size_t count; pipe && (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        printed.append(buffer, count);
    status = pipe ? ::pclose(pipe) : -1;
    return printed;
}

TEST(NewGame, AStarterGameIsWrittenRunsDrawsAndTypeChecksAndAFolderInUseIsRefused) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the game opens its window; run under xvfb-run";
    const fs::path parent = fs::temp_directory_path() / "marrowvale new game";
    const fs::path game = parent / "Lantern Quest";
    fs::remove_all(parent);
    const std::string engine = std::string(MARROWVALE_BINARY_DIR) + "/marrowvale";
    int status = 0;
    std::string printed = Shell("'" + engine + "' --new-game '" + game.string() + "'", status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("--game '" + game.string() + "'"), std::string::npos) << printed;
    EXPECT_EQ(GameNameOf(game), "lantern-quest");
    for (const char* file : {"Scripts/main.mjs", "Scripts/package.json", "Scripts/jsconfig.json",
                             "Scripts/marrowvale.d.ts", "Models/house.vxm", "Sounds/click.wav",
                             "Fonts/courierNew.ttf", "README.md"})
        EXPECT_TRUE(fs::is_regular_file(game / file)) << file;

    // Run from another folder: everything it reads comes from --game.
    printed = Shell("cd '" + parent.string() + "' && '" + engine +
                        "' --game 'Lantern Quest' --frames 3 --screenshot --quiet",
                    status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed.find("cannot"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("Error"), std::string::npos) << printed;
    sf::Image shot;
    ASSERT_TRUE(shot.loadFromFile((parent / "screenshot.jpg").string())) << printed;
    const sf::Color sky = shot.getPixel(20, shot.getSize().y / 2);
    EXPECT_GT(sky.b, 200) << "the background colour";
    int house = 0;
    for (unsigned y = shot.getSize().y / 3; y < shot.getSize().y * 2 / 3; ++y)
        for (unsigned x = shot.getSize().x / 3; x < shot.getSize().x * 2 / 3; ++x) {
            const sf::Color c = shot.getPixel(x, y);
            house += c.r > c.b + 40; // the red roof and the stone walls, not the sky
        }
    EXPECT_GT(house, 5000) << "the model is in view";

    printed = Shell("cd '" + (game / "Scripts").string() + "' && tsc -p jsconfig.json", status);
    EXPECT_EQ(status, 0) << printed;

    // A folder that holds anything is never written into.
    printed = Shell("'" + engine + "' --new-game '" + game.string() + "'", status);
    EXPECT_NE(status, 0);
    EXPECT_NE(printed.find("exists and is not an empty folder"), std::string::npos) << printed;
    fs::remove_all(parent);
}

} // namespace
