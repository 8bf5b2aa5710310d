// The generated API documents (docs/scripting-api.md and docs/marrowvale.d.ts) match
// what the engine reports from its binding tables, and the declarations are good
// enough for the compiler to check the sample game's scripts and modules against.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "core/ProcessTestSupport.h"
#include "script/ScriptClass.h"

namespace {

TEST(ApiDocuments, AreCurrentAndTheCompilerChecksTheSampleGameWithThem) {
    // A parameter list that names too few or too many would shift every name after it.
    for (const script::ScriptClassBase* cls : script::ScriptClassBase::All())
        for (const script::Member& member : cls->Members())
            if (member.params) {
                EXPECT_EQ(script::ParameterNames(member).size(), member.argCount)
                    << cls->Name() << "." << member.name;
            }
    const std::string source = MARROWVALE_SOURCE_DIR;
    int status = 0;
    std::string generated;
    // When a binding table changes, regenerate both with `make docs`.
    for (const char* doc : {"scripting-api.md", "marrowvale.d.ts"}) {
        const bool typescript = std::string(doc) == "marrowvale.d.ts";
        generated = Shell(std::string(MARROWVALE_BINARY_DIR) + "/marrowvale --api-reference" +
                              (typescript ? "=typescript" : ""),
                          status);
        ASSERT_EQ(status, 0) << generated;
        std::ifstream file(source + "/docs/" + doc, std::ios::binary);
        std::stringstream committed;
        committed << file.rdbuf();
        EXPECT_TRUE(generated == committed.str())
            << "docs/" << doc << " is out of date: run `make docs` and commit the result";
    }
    for (const char* line :
         {"declare function print(...values: any[]): void;", "interface Core {",
          "declare var Core: Core;",
          "    AddButton(bar: string, buttonName: string, callback: ((...args: any[]) => any) | "
          "null): void;",
          "    GetVar<T extends number | boolean | string | number[] = any>(bar: string, name: "
          "string): T;",
          "interface RegisterAntBarMessage extends MessageObject {"})
        EXPECT_NE(generated.find(line), std::string::npos) << line;

    // The compiler is part of the project's set-up (node-typescript); without it this
    // fails rather than passing unchecked.
    std::string printed = Shell(
        "cd " + source + " && tsc --noEmit --checkJs -p resource/Scripts/jsconfig.json", status);
    EXPECT_EQ(status, 0) << "the sample game's scripts do not type-check:\n" << printed;

    // The same compiler run does catch a script that misuses the engine.
    const auto dir = std::filesystem::temp_directory_path() / "marrowvale-tsc-check";
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "wrong.js") << "var panels = Core.Instance().AntBarSystem_;\n"
                                       "panels.AddNumberVar('bar', 'speed', '2', '');\n"
                                       "Core.Instance().NoSuchThing();\n";
    // And module code, whose engine names come from the "marrowvale" import.
    std::ofstream(dir / "wrong.mjs") << "import { Core } from 'marrowvale';\n"
                                        "Core.Instance().GraphicsSystem_.NoSuchModel();\n";
    printed = Shell("tsc --noEmit --checkJs --allowJs --lib es2020 --module es2022 " + source +
                        "/docs/marrowvale.d.ts " + (dir / "wrong.js").string() + " " +
                        (dir / "wrong.mjs").string(),
                    status);
    std::filesystem::remove_all(dir);
    EXPECT_NE(status, 0);
    EXPECT_NE(printed.find("wrong.js(2,"), std::string::npos) << printed;
    EXPECT_NE(printed.find("wrong.js(3,"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("wrong.mjs(1,"), std::string::npos) << "the import resolves\n"
                                                               << printed;
    EXPECT_NE(printed.find("wrong.mjs(2,33): error TS2339: Property 'NoSuchModel'"),
              std::string::npos)
        << printed;
}

} // namespace
