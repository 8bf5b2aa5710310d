// `cmake --install` lays the engine out under a prefix, and the installed
// engine runs from there alone: it reads its shaders from the prefix and
// writes a starter game (`--new-game`) that draws and type-checks.
#include <filesystem>
#include <fstream>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/ProcessTestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(Install, ThePrefixHoldsTheEngineAndWhatItReadsAndTheInstalledEngineRunsAGame) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the game opens its window; run under xvfb-run";
    const fs::path root =
        fs::temp_directory_path() / ("marrowvale install test " + std::to_string(::getpid()));
    const fs::path prefix = root / "usr local";
    fs::remove_all(root);
    int status = 0;
    std::string printed = Shell("cmake --install '" + std::string(MARROWVALE_BINARY_DIR) +
                                    "' --prefix '" + prefix.string() + "'",
                                status);
    ASSERT_EQ(status, 0) << printed;
    for (const char* file :
         {"bin/marrowvale", "share/marrowvale/Shaders/voxelShader.vs",
          "share/marrowvale/Fonts/courierNew.ttf",
          "share/marrowvale/Templates/new-game/Scripts/main.mjs",
          "share/marrowvale/Models/house.vxm", "share/marrowvale/Sounds/click.wav",
          "share/marrowvale/marrowvale.d.ts", "share/marrowvale/vscode/package.json",
          "share/doc/marrowvale/debugging.md"})
        EXPECT_TRUE(fs::is_regular_file(prefix / file)) << file;

    // A starter game from the installed engine: written under a name with a space,
    // run from its parent folder, checked by the TypeScript compiler as written.
    const std::string engine = (prefix / "bin/marrowvale").string();
    printed =
        Shell("cd '" + root.string() + "' && '" + engine + "' --new-game 'Lantern Quest'", status);
    ASSERT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find("--game 'Lantern Quest'"), std::string::npos) << printed;
    const fs::path game = root / "Lantern Quest";
    for (const char* file : {"Scripts/package.json", "Scripts/marrowvale.d.ts", "Models/house.vxm",
                             "Sounds/click.wav", "Fonts/courierNew.ttf", "README.md"})
        EXPECT_TRUE(fs::is_regular_file(game / file)) << file;
    EXPECT_NE(Shell("cat '" + (game / "Scripts/package.json").string() + "'", status)
                  .find("\"name\": \"lantern-quest\""),
              std::string::npos);
    // The game grows: it imports a CommonJS npm package (written for browsers and
    // Node at once, which the compiler must not check) and starts from main.mjs alone.
    fs::remove(game / "Scripts/startup.js");
    fs::remove(game / "Scripts/postInit.js");
    std::ofstream(game / "Scripts/main.mjs", std::ios::app)
        << "import seedrandom from \"seedrandom\";\nprint(\"seeded\", seedrandom(\"hello.\")());\n";
    printed = Shell("mkdir -p '" + (game / "Scripts/node_modules").string() + "' && cp -r " +
                        MARROWVALE_SOURCE_DIR "/tests/npm/node_modules/seedrandom '" +
                        (game / "Scripts/node_modules").string() + "' && cd '" +
                        (game / "Scripts").string() + "' && tsc -p jsconfig.json",
                    status);
    EXPECT_EQ(status, 0) << printed;
    printed = Shell("'" + engine + "' --new-game '" + game.string() + "'", status);
    EXPECT_NE(status, 0) << "a folder in use is never written into";
    EXPECT_NE(printed.find("exists and is not an empty folder"), std::string::npos) << printed;
    printed = Shell("cd '" + root.string() + "' && '" + engine +
                        "' --game 'Lantern Quest' --frames 3 --screenshot",
                    status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed.find("cannot"), std::string::npos) << printed;
    EXPECT_NE(printed.find("seeded 0.9282578795792454"), std::string::npos) << printed;
    EXPECT_NE(printed.find((prefix / "share/marrowvale/Shaders/voxelShader.vs").string() +
                           " compiled successfully."),
              std::string::npos)
        << "the installed shaders are used\n"
        << printed;
    sf::Image shot;
    ASSERT_TRUE(shot.loadFromFile((root / "screenshot.jpg").string())) << printed;
    EXPECT_GT(StarterModelPixels(shot), 5000) << "the starter game's model is drawn";
    fs::remove_all(root);
}

} // namespace

namespace {

// The .deb holds the same layout under /usr; unpacked into a scratch root,
// its engine writes and runs a game from there. CPack stages in the test's own
// folder (-B), so installs of the build running beside it are not disturbed.
TEST(Install, TheDebianPackageLaysTheEngineOutUnderUsrAndItsEngineRuns) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the game opens its window; run under xvfb-run";
    const fs::path root =
        fs::temp_directory_path() / ("marrowvale deb test " + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    int status = 0;
    std::string printed = Shell("cd '" + root.string() + "' && cpack -G DEB -B . --config '" +
                                    std::string(MARROWVALE_BINARY_DIR) + "/CPackConfig.cmake'",
                                status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path deb = root / "marrowvale_0.1.0_amd64.deb";
    ASSERT_TRUE(fs::is_regular_file(deb)) << printed;
    printed = Shell("dpkg-deb --field '" + deb.string() + "' Depends", status);
    EXPECT_NE(printed.find("libmozjs-102-0"), std::string::npos) << printed;
    EXPECT_NE(printed.find("libsfml-graphics2.5"), std::string::npos) << printed;
    printed =
        Shell("dpkg-deb -x '" + deb.string() + "' '" + (root / "scratch").string() + "'", status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path usr = root / "scratch/usr";
    for (const char* file :
         {"bin/marrowvale", "share/marrowvale/Shaders/voxelShader.vs",
          "share/marrowvale/Templates/new-game/Scripts/main.mjs",
          "share/marrowvale/marrowvale.d.ts", "share/doc/marrowvale/debugging.md"})
        EXPECT_TRUE(fs::is_regular_file(usr / file)) << file;
    const std::string engine = (usr / "bin/marrowvale").string();
    printed = Shell("cd '" + root.string() + "' && '" + engine + "' --new-game game && '" + engine +
                        "' --game game --frames 2",
                    status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_NE(printed.find((usr / "share/marrowvale/Shaders/").string()), std::string::npos)
        << printed;
    fs::remove_all(root);
}

} // namespace
