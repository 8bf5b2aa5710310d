// `cmake --install` lays the engine out under a prefix, and the installed
// engine runs from there alone: it reads its shaders from the prefix and
// writes a starter game (`--new-game`, in JavaScript or TypeScript) that draws
// and type-checks.
//
// tools/package.sh then turns that game into one archive a player unpacks and
// runs: unpacked under a path with spaces and started through its launcher
// with LD_LIBRARY_PATH empty, it draws its scene, and every library the
// loader brings in that is not part of the player's own system comes from the
// package's lib/. What only the game's developer uses stays out.
#include <algorithm>
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

TEST(Install, TheInstalledEngineWritesAGameThatRunsAndPacksToRunFromAnywhereOnItsOwnLibraries) {
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
          "share/marrowvale/Templates/new-game-typescript/Scripts/main.ts",
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
    fs::remove(root / "screenshot.jpg");

    // The same starter in TypeScript: the compiler passes it as written against the
    // engine's declarations and names the line of a misuse of the engine's API; the
    // engine runs it as it stands.
    printed = Shell("cd '" + root.string() + "' && '" + engine + "' --new-game typed --typescript",
                    status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path typed = root / "typed/Scripts";
    EXPECT_TRUE(fs::is_regular_file(typed / "marrowvale.d.ts"));
    EXPECT_FALSE(fs::exists(typed / "main.mjs") || fs::exists(typed / "jsconfig.json"));
    EXPECT_NE(Shell("cat '" + (typed / "package.json").string() + "'", status)
                  .find("\"main\": \"main.ts\""),
              std::string::npos);
    const std::string tsc = "cd '" + typed.string() +
                            "' && " MARROWVALE_SOURCE_DIR
                            "/tests/npm/node_modules/.bin/tsc -p tsconfig.json";
    printed = Shell(tsc, status);
    EXPECT_EQ(status, 0) << printed;
    fs::copy_file(typed / "main.ts", root / "main.ts");
    const std::string script = Shell("cat '" + (typed / "main.ts").string() + "'", status);
    const auto scriptLines = std::count(script.begin(), script.end(), '\n');
    std::ofstream(typed / "main.ts", std::ios::app) << "graphics.clearColor = \"blue\";\n";
    printed = Shell(tsc, status);
    EXPECT_NE(status, 0) << "a string where the engine wants a number array";
    EXPECT_NE(printed.find("main.ts(" + std::to_string(scriptLines + 1) + ",1): error"),
              std::string::npos)
        << printed;
    fs::copy_file(root / "main.ts", typed / "main.ts", fs::copy_options::overwrite_existing);
    printed =
        Shell("cd '" + root.string() + "' && '" + engine + "' --game typed --frames 3 --screenshot",
              status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed.find("main.ts:"), std::string::npos) << "no script error\n" << printed;
    ASSERT_TRUE(shot.loadFromFile((root / "screenshot.jpg").string())) << printed;
    EXPECT_GT(StarterModelPixels(shot), 5000) << "the TypeScript starter draws its model";
    fs::remove(root / "screenshot.jpg");

    // The game runs on one npm package and has another's types for its editor,
    // and files its .packageignore leaves out.
    std::ofstream(game / "Scripts/package.json")
        << R"({"name": "lantern-quest", "main": "main.mjs", "dependencies": {"seedrandom": "*"},
              "devDependencies": {"@types/seedrandom": "*"}})";
    std::ofstream(game / ".packageignore") << "# the artist's files\n./Art\n\n*.psd\n";
    fs::create_directories(game / "Art");
    std::ofstream(game / "Art/sketch.txt") << "sketch";
    std::ofstream(game / "Models/house.psd") << "layers";
    printed = Shell("cd '" + root.string() +
                        "' && mkdir -p 'Lantern Quest/Scripts/node_modules/@types' && "
                        "cp -r " MARROWVALE_SOURCE_DIR "/tests/npm/node_modules/@types/seedrandom "
                        "'Lantern Quest/Scripts/node_modules/@types/' && "
                        "bash '" MARROWVALE_SOURCE_DIR "/tools/package.sh' '" MARROWVALE_BINARY_DIR
                        "' 'Lantern Quest' dist",
                    status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path archive = root / "dist" / "lantern-quest-linux-x86_64.tar.gz";
    ASSERT_TRUE(fs::is_regular_file(archive)) << printed;

    const fs::path player = root / "a player's games";
    fs::create_directories(player);
    printed = Shell("tar xzf '" + archive.string() + "' -C \"" + player.string() + "\"", status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path unpacked = player / "lantern-quest-linux-x86_64";
    for (const char* file :
         {"Scripts/marrowvale.d.ts", "Scripts/jsconfig.json", "README.md",
          "Scripts/node_modules/@types", "Art", "Models/house.psd", ".packageignore"})
        EXPECT_FALSE(fs::exists(unpacked / "game" / file)) << file << " is the developer's";
    EXPECT_TRUE(fs::is_regular_file(unpacked / "game/Scripts/node_modules/seedrandom/index.js"));

    const fs::path data = root / "player data";
    printed =
        Shell("cd '" + root.string() + "' && env LD_LIBRARY_PATH= LD_DEBUG=libs XDG_DATA_HOME='" +
                  data.string() + "' \"" + (unpacked / "lantern-quest").string() +
                  "\" --frames 3 --screenshot",
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
    EXPECT_FALSE(fs::exists(root / "screenshot.jpg")) << "saves stay out of the working folder";
    ASSERT_TRUE(shot.loadFromFile((data / "lantern-quest" / "screenshot.jpg").string()))
        << "the screenshot is in the player's folder";
    EXPECT_GT(StarterModelPixels(shot), 5000) << "the packaged game draws its model";
    fs::remove(data / "lantern-quest" / "screenshot.jpg");

    // The TypeScript starter ships as written, without its compiler's files or the
    // erased texts its developer's runs kept beside it; the player's engine erases
    // it at load and keeps what it erased in the player's folder, never in the
    // game's.
    EXPECT_TRUE(fs::is_directory(root / "typed/.cache/typescript"));
    printed = Shell("cd '" + root.string() +
                        "' && bash '" MARROWVALE_SOURCE_DIR
                        "/tools/package.sh' '" MARROWVALE_BINARY_DIR "' typed dist && tar xzf "
                        "dist/typed-linux-x86_64.tar.gz -C \"" +
                        player.string() + "\"",
                    status);
    ASSERT_EQ(status, 0) << printed;
    const fs::path shipped = player / "typed-linux-x86_64";
    EXPECT_TRUE(fs::is_regular_file(shipped / "game/Scripts/main.ts"));
    for (const char* file : {"Scripts/marrowvale.d.ts", "Scripts/tsconfig.json", ".cache"})
        EXPECT_FALSE(fs::exists(shipped / "game" / file)) << file << " is the developer's";
    printed =
        Shell("cd '" + root.string() + "' && env LD_LIBRARY_PATH= XDG_DATA_HOME='" + data.string() +
                  "' \"" + (shipped / "typed").string() + "\" --frames 3 --screenshot",
              status);
    EXPECT_EQ(status, 0) << printed;
    EXPECT_EQ(printed.find("main.ts:"), std::string::npos) << "no script error\n" << printed;
    EXPECT_FALSE(fs::exists(shipped / "game/.cache"));
    EXPECT_FALSE(fs::is_empty(data / "typed/.cache/typescript"));
    ASSERT_TRUE(shot.loadFromFile((data / "typed" / "screenshot.jpg").string())) << printed;
    EXPECT_GT(StarterModelPixels(shot), 5000) << "the packaged TypeScript game draws its model";
    fs::remove_all(root);
}

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
    // The layout is the install's, checked above; running from it shows it is there.
    const fs::path usr = root / "scratch/usr";
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
