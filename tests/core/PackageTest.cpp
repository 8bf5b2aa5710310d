// tools/package.sh turns a game folder into one archive a player unpacks and
// runs: unpacked under a path with spaces and started through its launcher
// with LD_LIBRARY_PATH empty, it draws its scene, and every library the
// loader brings in that is not part of the player's own system comes from the
// package's lib/. What only the game's developer uses stays out.
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/ProcessTestSupport.h"

namespace {

namespace fs = std::filesystem;

TEST(Package, AStarterGamePackedRunsFromAnywhereOnItsOwnLibraries) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the game opens its window; run under xvfb-run";
    const fs::path root =
        fs::temp_directory_path() / ("marrowvale package test " + std::to_string(::getpid()));
    fs::remove_all(root);
    fs::create_directories(root);
    const std::string engine = std::string(MARROWVALE_BINARY_DIR) + "/marrowvale";
    int status = 0;
    std::string printed =
        Shell("cd '" + root.string() + "' && '" + engine + "' --new-game 'Star Ter'", status);
    ASSERT_EQ(status, 0) << printed;
    // The game runs on one npm package and has another's types for its editor,
    // and files its .packageignore leaves out.
    const fs::path game = root / "Star Ter";
    std::ofstream(game / "Scripts/package.json")
        << R"({"name": "star-ter", "main": "main.mjs", "dependencies": {"seedrandom": "*"},
              "devDependencies": {"@types/seedrandom": "*"}})";
    std::ofstream(game / ".packageignore") << "# the artist's files\n./Art\n\n*.psd\n";
    fs::create_directories(game / "Art");
    std::ofstream(game / "Art/sketch.txt") << "sketch";
    std::ofstream(game / "Models/house.psd") << "layers";
    std::ofstream(game / "Scripts/main.mjs", std::ios::app)
        << "import seedrandom from \"seedrandom\";\nprint(\"seeded\", seedrandom(\"hello.\")());\n";
    printed = Shell(
        "cd '" + root.string() +
            "' && mkdir -p 'Star Ter/Scripts/node_modules/@types' && "
            "cp -r " MARROWVALE_SOURCE_DIR
            "/tests/npm/node_modules/seedrandom 'Star Ter/Scripts/node_modules/' && "
            "cp -r " MARROWVALE_SOURCE_DIR
            "/tests/npm/node_modules/@types/seedrandom 'Star Ter/Scripts/node_modules/@types/' && "
            "bash '" MARROWVALE_SOURCE_DIR "/tools/package.sh' '" MARROWVALE_BINARY_DIR
            "' 'Star Ter' dist",
        status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path archive = root / "dist" / "star-ter-linux-x86_64.tar.gz";
    ASSERT_TRUE(fs::is_regular_file(archive)) << printed;

    const fs::path player = root / "a player's games";
    fs::create_directories(player);
    printed = Shell("tar xzf '" + archive.string() + "' -C \"" + player.string() + "\"", status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path unpacked = player / "star-ter-linux-x86_64";
    for (const char* file :
         {"Scripts/marrowvale.d.ts", "Scripts/jsconfig.json", "README.md",
          "Scripts/node_modules/@types", "Art", "Models/house.psd", ".packageignore"})
        EXPECT_FALSE(fs::exists(unpacked / "game" / file)) << file << " is the developer's";
    EXPECT_TRUE(fs::is_regular_file(unpacked / "game/Scripts/node_modules/seedrandom/index.js"));

    const fs::path data = root / "player data";
    printed = Shell("cd '" + root.string() +
                        "' && env LD_LIBRARY_PATH= LD_DEBUG=libs XDG_DATA_HOME='" + data.string() +
                        "' \"" + (unpacked / "star-ter").string() + "\" --frames 3 --screenshot",
                    status);
    EXPECT_EQ(status, 0) << printed.substr(printed.size() > 4000 ? printed.size() - 4000 : 0);
    EXPECT_NE(printed.find("seeded 0.9282578795792454"), std::string::npos)
        << "the game runs on the package it was packed with";
    for (const char* workshop : {"compiled successfully", "vertical sync"})
        EXPECT_EQ(printed.find(workshop), std::string::npos) << "the launcher runs quiet";
    // What the player's system provides; everything else must be the package's. The
    // sound server's client and GBM (which SDL links) bring their own dependencies
    // from the system too.
    const std::regex base(
        "/(ld-linux|libc\\.|libm\\.|libdl\\.|libpthread\\.|librt\\.|libGL|libEGL|libOpenGL|"
        "libglapi|"
        "libX|libxcb|libxshmfence|libdrm|libudev|libasound|libsndio|libpulse|libbsd|libmd\\.|"
        "libLLVM|libelf|libexpat|libffi|libicu|liblzma|libsensors|libpciaccess|libedit|"
        "libtinfo|libxml2|libz3|libzstd|libasan|libubsan|"
        "libgbm|libwayland-server|libdbus-1|libsystemd|libgcrypt|libgpg-error|liblz4|libcap\\.|"
        "libsndfile|libasyncns|libopus|libmpg123|libmp3lame|"
        "dri/)[^/]*$");
    // The sanitizer build preloads the GL driver, whose own dependencies then come
    // from the system before the package is looked at; there only the count is checked.
    const bool preloaded = std::getenv("LD_PRELOAD") != nullptr;
    std::istringstream lines(printed);
    int fromPackage = 0;
    for (std::string line; std::getline(lines, line);) {
        const std::size_t at = line.find("calling init: ");
        if (at == std::string::npos)
            continue;
        const std::string library = line.substr(at + 14);
        if (library.find(unpacked.string() + "/bin/../lib/") == 0) {
            ++fromPackage;
        } else if (!preloaded) {
            EXPECT_TRUE(std::regex_search(library, base)) << library << " is not from the package";
        }
    }
    EXPECT_GE(fromPackage, 20) << "SpiderMonkey, SFML, Bullet, GLEW, OpenAL and the rest";
    sf::Image shot;
    EXPECT_FALSE(fs::exists(root / "screenshot.jpg")) << "saves stay out of the working folder";
    ASSERT_TRUE(shot.loadFromFile((data / "star-ter" / "screenshot.jpg").string()))
        << "the screenshot is in the player's folder";
    EXPECT_GT(StarterModelPixels(shot), 5000) << "the packaged game draws its model";
    fs::remove_all(root);
}

} // namespace
