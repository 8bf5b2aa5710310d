// Every JavaScript example in the README and docs/ runs, page by page, in a
// running engine: a page's blocks run in order in one global, as a reader
// would try them, and then a few frames run their callbacks. A block that is
// only a fragment says so with <!-- fragment --> on the line before it.
// Blocks with import or export run as modules.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/Core.h"
#include "messaging/MessageManager.h"
#include "script/ScriptHost.h"
#include "script/ScriptTestSupport.h"

namespace {

namespace fs = std::filesystem;

struct Block {
    int line = 0; // of the block's first line of code, from 1
    std::string code;
};

std::vector<Block> BlocksOf(const fs::path& page) {
    std::ifstream in(page);
    std::vector<Block> blocks;
    std::string line, previous;
    int number = 0;
    bool inside = false, skip = false;
    Block block;
    while (std::getline(in, line)) {
        ++number;
        if (!inside && (line == "```js" || line == "```javascript")) {
            inside = true;
            skip = previous.find("<!-- fragment -->") != std::string::npos;
            block = Block{number + 1, ""};
        } else if (inside && line.rfind("```", 0) == 0) {
            inside = false;
            if (!skip)
                blocks.push_back(block);
        } else if (inside) {
            block.code += line + "\n";
        }
        if (!line.empty())
            previous = line;
    }
    return blocks;
}

std::vector<std::string> Pages() {
    std::vector<std::string> pages = {"README.md"};
    for (const auto& entry : fs::directory_iterator(fs::path(MARROWVALE_SOURCE_DIR) / "docs"))
        if (entry.path().extension() == ".md")
            pages.push_back("docs/" + entry.path().filename().string());
    std::sort(pages.begin(), pages.end());
    return pages;
}

class DocExamples : public ::testing::TestWithParam<std::string> {};

TEST_P(DocExamples, EveryBlockRunsWithoutAnError) {
    if (!std::getenv("DISPLAY"))
        GTEST_SKIP() << "the engine opens its window; run under xvfb-run";
    const std::string page = GetParam();
    const std::vector<Block> blocks = BlocksOf(fs::path(MARROWVALE_SOURCE_DIR) / page);
    if (blocks.empty())
        GTEST_SKIP() << page << " has no examples";

    // A game of its own with the sample's assets and its startup.js (which
    // defines `core`, as the pages expect), and no other script.
    const TempFolder folder;
    const fs::path& game = folder.path;
    fs::copy(fs::path(MARROWVALE_SOURCE_DIR) / "resource/Scripts/startup.js", game / "Scripts");
    for (const char* folder : {"Models", "Textures", "Sounds"})
        fs::copy(fs::path(MARROWVALE_SOURCE_DIR) / "resource" / folder, game / folder,
                 fs::copy_options::recursive);
    Core& core = Core::Instance();
    core.SetResourceDir(game.string());
    testing::internal::CaptureStderr();
    core.Init();
    const std::string startup = testing::internal::GetCapturedStderr();
    ASSERT_TRUE(core.running) << startup;
    ScriptHost& host = ScriptHost::Instance();

    for (const Block& block : blocks) {
        // Padded so that errors name the line in the page.
        const std::string code = std::string(block.line - 1, '\n') + block.code;
        const std::string where = page + ":" + std::to_string(block.line);
        const bool isModule = std::regex_search(
            block.code, std::regex("^\\s*(import|export)\\b", std::regex::multiline));
        testing::internal::CaptureStderr();
        bool ok = true;
        if (isModule) {
            const fs::path file =
                game / "Scripts" / ("block" + std::to_string(block.line) + ".mjs");
            std::ofstream(file) << code;
            ok = host.RunFile(file.string());
        } else {
            ok = host.Evaluate(code, page);
        }
        for (int frame = 0; frame < 3 && core.running; ++frame)
            core.RunFrame();
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(ok) << where << ": " << host.GetLastError();
        // What the block or its callbacks raised names the page (or the
        // block's module file), and engine complaints say "Error".
        for (const std::string& needle : {page + ":", std::string("Scripts/block"),
                                          std::string("Error"), std::string("warning")})
            EXPECT_EQ(errors.find(needle), std::string::npos) << where << ":\n" << errors;
    }
    // Messages an example sent with a delay are delivered now: the engine is
    // never torn down here, and a message left waiting would read as a leak.
    core.messageManager->Update(3600.0f);
    EXPECT_EQ(core.messageManager->PendingCount(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Pages, DocExamples, ::testing::ValuesIn(Pages()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

} // namespace
