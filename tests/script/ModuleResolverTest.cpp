// Module resolution over a game folder with its own node_modules, written
// here: every way a script names a module, and every way that can go wrong.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>

#include "script/ModuleResolver.h"

namespace {

namespace fs = std::filesystem;
using F = ModuleFormat;
using Mode = ModuleResolver::Mode;
constexpr Mode I = Mode::Import, R = Mode::Require;

struct Case {
    std::string spec; // "$" stands for the fixture's root
    const char* from; // relative to the root
    Mode mode;
    const char* want; // the file, relative to the root; the name for a built-in
    F format;
    const char* error = nullptr; // set: resolution must fail with this in the message
    const char* package = "";
};

TEST(ModuleResolver, ResolvesEveryKindOfSpecifierOverAGameFolder) {
    const fs::path root =
        fs::weakly_canonical(fs::temp_directory_path()) /
        ("marrowvale-resolver-" +
         std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    const auto write = [&](const std::string& file, const std::string& text) {
        fs::create_directories((root / file).parent_path());
        std::ofstream(root / file) << text;
    };
    std::string deep = "\"./deep.js\"";
    for (int i = 0; i < 40; ++i)
        deep = "{\"default\": " + deep + "}";

    write("game/package.json", R"({"type": "module"})");
    for (const char* file : {"main.mjs", "util.js", "my file.js", "data.json", "lib.cjs", "x.ts",
                             "y.cts", "x.txt", "dir/index.js"})
        write(std::string("game/Scripts/") + file, "");
    write("game/cjs/package.json", R"({"type": "commonjs"})");
    write("game/cjs/a.js", "");
    write("game/plain/package.json", "[1, 2]");
    write("game/plain/a.js", "");
    const std::string nm = "game/node_modules/";
    write(nm + "str/package.json", R"({"exports": "./s.js"})");
    write(nm + "dot/package.json", R"({"exports": {".": "./d.js"}})");
    write(nm + "cond/package.json",
          R"({"exports": {"node": "./n.js", "import": "./i.mjs", "require": "./r.cjs"}})");
    write(nm + "nested/package.json", R"({"exports": {".": {"browser": {"import": "./b.mjs"},
          "default": {"require": "./r.cjs", "default": "./d.js"}}}})");
    write(nm + "sub/package.json", R"({"type": "module", "exports": {".": "./main.js",
          "./feature": "./lib/feature.js", "./utils/*": "./lib/utils/*.js",
          "./utils/private/*": null, "./bad": "../x", "./up": "./lib/../../x",
          "./list": ["lib/feature.js", "./lib/feature.js"], "./gone": "./lib/gone.js"}})");
    write(nm + "mod/package.json", R"({"module": "./esm.js", "main": "./cjs.js"})");
    write(nm + "main/package.json", R"({"main": "lib/entry"})");
    write(nm + "@scope/name/package.json", R"({"type": "module", "exports": {"./x": "./x.js"}})");
    write(nm + "broken/package.json", "{ \"main\": ");
    write(nm + "mixed/package.json", R"({"exports": {".": "./a.js", "import": "./b.js"}})");
    write(nm + "deep/package.json", "{\"exports\": " + deep + "}");
    write(nm + "outer/package.json", R"({"main": "index.js"})");
    write("vendor/linked/package.json", R"({"main": "l.js"})");
    for (const char* file : {"str/s.js",
                             "dot/d.js",
                             "cond/n.js",
                             "cond/i.mjs",
                             "cond/r.cjs",
                             "nested/b.mjs",
                             "nested/r.cjs",
                             "nested/d.js",
                             "sub/main.js",
                             "sub/lib/feature.js",
                             "sub/lib/utils/a/b.js",
                             "mod/esm.js",
                             "mod/cjs.js",
                             "main/lib/entry.js",
                             "idx/index.js",
                             "noext/y.js",
                             "@scope/name/x.js",
                             "outer/index.js",
                             "outer/node_modules/inner/index.js",
                             "inner/index.js",
                             "fs/index.js",
                             "deep/deep.js"})
        write(nm + file, "");
    write("vendor/linked/l.js", "");
    fs::create_directory_symlink(root / "vendor/linked", root / nm / "linked");
    fs::create_symlink("loop", root / "game/Scripts/loop");
    ASSERT_EQ(mkfifo((root / "game/Scripts/pipe").c_str(), 0600), 0);

    const char* main = "game/Scripts/main.mjs";
    const char* inOuter = "game/node_modules/outer/index.js";
    const Case cases[] = {
        // Paths: exact in imports, probed in require; formats by extension and "type".
        {"./util.js", main, I, "game/Scripts/util.js", F::EsModule},
        {"./Scripts/data.json", "game", I, "game/Scripts/data.json", F::Json},
        {"./lib.cjs", main, I, "game/Scripts/lib.cjs", F::CommonJs},
        {"./main.mjs", main, I, "game/Scripts/main.mjs", F::EsModule},
        {"../cjs/a.js", main, I, "game/cjs/a.js", F::CommonJs},
        {"../plain/a.js", main, I, "game/plain/a.js", F::Ambiguous},
        {"$/game/Scripts/util.js", "", I, "game/Scripts/util.js", F::EsModule},
        {"file://$/game/Scripts/my%20file.js", main, I, "game/Scripts/my file.js", F::EsModule},
        {"file://$/game/Scripts%2Futil.js", main, I, "", F{}, "not a valid file: URL"},
        {"./util", main, I, "", F{}, "imports need the file's extension, as in \"./util.js\""},
        {"./dir", main, I, "", F{},
         "it is a folder; imports name a file, as in \"./dir/index.js\""},
        {"./pipe", main, I, "", F{}, "is not a regular file"},
        {"./loop", main, I, "", F{}, "cannot find module \"./loop\""},
        {"./x.ts", main, I, "game/Scripts/x.ts", F::EsModule},
        {"./y.cts", main, I, "game/Scripts/y.cts", F::CommonJs},
        {"./x.txt", main, I, "", F{}, "unknown file extension \".txt\""},
        {"./x.txt", main, R, "game/Scripts/x.txt", F::CommonJs},
        {"./missing.js", main, I, "", F{}, "cannot find module \"./missing.js\" (imported from $/"},
        {"./util", main, R, "game/Scripts/util.js", F::EsModule},
        {"./dir", main, R, "game/Scripts/dir/index.js", F::EsModule},
        // Packages: every form of "exports", then the fields before it.
        {"str", main, I, "game/node_modules/str/s.js", F::Ambiguous, nullptr, "str"},
        {"dot", main, R, "game/node_modules/dot/d.js", F::Ambiguous},
        {"cond", main, I, "game/node_modules/cond/i.mjs", F::EsModule},
        {"cond", main, R, "game/node_modules/cond/r.cjs", F::CommonJs},
        {"nested", main, I, "game/node_modules/nested/d.js", F::Ambiguous},
        {"nested", main, R, "game/node_modules/nested/r.cjs", F::CommonJs},
        {"sub", main, I, "game/node_modules/sub/main.js", F::EsModule},
        {"sub/feature", main, I, "game/node_modules/sub/lib/feature.js", F::EsModule},
        {"sub/utils/a/b", main, R, "game/node_modules/sub/lib/utils/a/b.js", F::EsModule},
        {"sub/list", main, I, "game/node_modules/sub/lib/feature.js", F::EsModule},
        {"sub/utils/private/k", main, I, "", F{}, "does not export \"./utils/private/k\""},
        {"sub/utils/../../x", main, I, "", F{}, "is not a valid subpath"},
        {"sub/nope", main, I, "", F{},
         "package \"sub\" does not export \"./nope\" (see $/game/node_modules/sub/package.json"},
        {"sub/bad", main, I, "", F{}, "invalid target \"../x\""},
        {"sub/up", main, I, "", F{}, "invalid target \"./lib/../../x\""},
        {"sub/gone", main, I, "", F{}, "as \"./lib/gone.js\", but"},
        {"mixed", main, I, "", F{}, "mix subpaths"},
        {"deep", main, I, "", F{}, "nested more than 32 deep"},
        {"mod", main, I, "game/node_modules/mod/esm.js", F::EsModule, nullptr, "mod"},
        {"mod", main, R, "game/node_modules/mod/cjs.js", F::Ambiguous},
        {"main", main, I, "game/node_modules/main/lib/entry.js", F::Ambiguous},
        {"idx", main, I, "game/node_modules/idx/index.js", F::Ambiguous},
        {"noext/y", main, I, "", F{}, "as in \"noext/y.js\""},
        {"noext/y", main, R, "game/node_modules/noext/y.js", F::Ambiguous},
        {"@scope/name/x", main, I, "game/node_modules/@scope/name/x.js", F::EsModule, nullptr,
         "@scope/name"},
        {"@scope/name", main, I, "", F{}, "does not export \".\""},
        {"@scope", main, I, "", F{}, "needs a scope and a name"},
        {".bin/x", main, I, "", F{}, "not a valid package name"},
        {"a%2fb", main, I, "", F{}, "not a valid package name"},
        {"inner", inOuter, I, "game/node_modules/outer/node_modules/inner/index.js", F::Ambiguous},
        {"inner", main, I, "game/node_modules/inner/index.js", F::Ambiguous},
        {"linked", main, R, "vendor/linked/l.js", F::Ambiguous, nullptr, "linked"},
        {"broken", main, I, "", F{}, "$/game/node_modules/broken/package.json is not valid JSON"},
        {"nothere", main, I, "", F{}, "cannot find package \"nothere\" (imported from $/"},
        // Names the engine answers itself.
        {"fs", main, I, "fs", F::NodeBuiltin},
        {"node:path", main, R, "path", F::NodeBuiltin},
        {"fs/promises", main, I, "fs/promises", F::NodeBuiltin},
        {"marrowvale", main, I, "", F::Engine},
        {"https://example.com/x.js", main, I, "", F{}, "only file: URLs"},
        {std::string("./util\0.js", 10), main, I, "", F{}, "NUL character"},
        {std::string(100000, 'a'), main, I, "", F{}, "is longer than"},
    };

    const auto expand = [&](std::string text) {
        for (size_t at; (at = text.find('$')) != std::string::npos;)
            text.replace(at, 1, root.string());
        return text;
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.spec.substr(0, 60) + (c.mode == I ? " (import)" : " (require)"));
        const ModuleResolution r = ModuleResolver::Resolve(expand(c.spec), root / c.from, c.mode);
        if (c.error) {
            EXPECT_FALSE(r.ok);
            EXPECT_NE(r.error.find(expand(c.error)), std::string::npos) << r.error;
            continue;
        }
        ASSERT_TRUE(r.ok) << r.error;
        EXPECT_EQ(r.format, c.format);
        if (c.format == F::NodeBuiltin) {
            EXPECT_EQ(r.builtin, c.want);
        } else if (*c.want) {
            EXPECT_EQ(r.path, root / c.want);
        }
        if (*c.package) {
            EXPECT_EQ(r.packageName, c.package);
        }
    }
    // The same file by its link and by its target is one module.
    EXPECT_EQ(ModuleResolver::Resolve("../node_modules/linked/l.js", root / main, R).path,
              root / "vendor/linked/l.js");
    fs::remove_all(root);
}

} // namespace
