// Popular pure-JavaScript npm packages, installed by the set-up with npm ci
// from tests/npm's lock file, loaded by the engine and each doing one real
// thing (tests/npm/matrix.mjs); the values are what Node gives for the same code.
#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"

namespace {

TEST_F(ScriptTest, NpmPackagesLoadAndWorkInTheEngine) {
    const std::filesystem::path folder = std::filesystem::path(MARROWVALE_SOURCE_DIR) / "tests/npm";
    ASSERT_TRUE(std::filesystem::is_directory(folder / "node_modules"))
        << "run tools/setup.sh: it installs the packages with npm ci in " << folder;
    host().ResetModules();
    host().RunFile((folder / "matrix.mjs").string());
    // The tween runs on the engine's frames, an eighth of a second each.
    for (int frame = 0; frame < 40 && Eval("globalThis.npmMatrix?.done") != "true"; ++frame)
        host().GetTimers().Update(0.125);
    ASSERT_EQ(Eval("npmMatrix.done"), "true") << host().GetLastError();

    const std::map<std::string, std::string> expected = {
        {"@tweenjs/tween.js", "12.5 50 87.5 100 own-clock:true"},
        // The first values seedrandom's documentation promises.
        {"seedrandom", "0.9282578795792454 0.3752569768646784 0.4783254903741181"},
        {"gl-matrix", "3,4,5"},
        {"simplex-noise", "true true 0.543377"},
        {"eventemitter3", "orc-3 once elf-5 1"},
        {"mitt", "10 score score"},
        {"lodash-es", "[[1,2],[3,4],[5]] 1,3 abc 3"},
        {"nanoid/non-secure", "true true"},
        {"zod", "true false name:too_small,hp:invalid_type"},
        {"immer", "10 6 true true"},
        {"bitecs", "1,2 1,0 3,2"},
        {"easystarjs", "0,0 1,0 2,0 2,1 2,2 1,2 0,2"},
    };
    for (const auto& [name, value] : expected)
        EXPECT_EQ(Eval("npmMatrix['" + name + "']"), value) << name;
}

} // namespace
