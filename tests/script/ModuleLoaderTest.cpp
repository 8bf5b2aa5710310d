// Game modules: graphs, packages, import(), errors at the import, UTF-8,
// TypeScript run as written.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <vector>

#include <sys/stat.h>

#include <gtest/gtest.h>

#include "base/Path.h"
#include "script/ModuleLoader.h"
#include "script/ScriptTestSupport.h"
#include "script/TypeScriptEraser.h"

namespace {

namespace fs = std::filesystem;

// A line's characters, so that a multi-byte one counts as one column.
std::u32string Characters(const std::string& utf8) {
    std::u32string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte & 0xc0) != 0x80)
            out += byte;
        else if (!out.empty())
            out.back() = (out.back() << 6) | (byte & 0x3f);
    }
    return out;
}

class ModuleTest : public ScriptTest {
  protected:
    void SetUp() override {
        ScriptTest::SetUp();
        host().ResetModules();
        SetResourceFolder(folder.path.string());
        scripts = fs::weakly_canonical(folder.path / "Scripts").string() + "/";
    }
    void TearDown() override { SetResourceFolder(""); }

    // Writes a file below Scripts/, making its folders.
    std::string Put(const std::string& name, const std::string& text) {
        fs::create_directories((folder.path / "Scripts" / name).parent_path());
        return folder.Write(name, text);
    }
    // Runs a module and gives the report it left, or "" when none.
    std::string ErrorOfModule(const std::string& name) {
        const std::string before = host().GetLastError();
        host().Evaluate("'clear'", "clear.js");
        const bool ok = host().RunFile(scripts + name);
        return ok ? std::string() : host().GetLastError();
    }

    TempFolder folder;
    std::string scripts;
};

TEST_F(ModuleTest, AGraphWithPackagesCyclesAndAwaitRunsEachModuleOnce) {
    Put("main.mjs", R"(import { count, bump } from "./counter.mjs";
import { fromA } from "./a.mjs";
import data from "./data.json";
import lib, { twice } from "cjs-lib";
import { Core as EngineCore } from "marrowvale";
import { late } from "./late.mjs";
bump();
globalThis.result = [count, fromA, data.n, lib.name, twice(21), EngineCore === Core, late].join();
globalThis.url = import.meta.url;
)");
    Put("counter.mjs", "export let count = 0;\nexport function bump() { count++; }\n"
                       "globalThis.counterRuns = (globalThis.counterRuns || 0) + 1;\n");
    // a and b import each other; both share counter.
    Put("a.mjs", "import { fromB } from './b.mjs';\nimport './counter.mjs';\n"
                 "export const fromA = 'a' + fromB();\n");
    Put("b.mjs", "import { fromA } from './a.mjs';\nimport { count } from './counter.mjs';\n"
                 "export function fromB() { return 'b' + count; }\n"
                 "export function seeA() { return fromA; }\n");
    Put("data.json", R"({"n": 7})");
    Put("late.mjs", "await Promise.resolve();\nexport const late = 'awaited';\n");
    Put("node_modules/cjs-lib/package.json", R"({"name": "cjs-lib", "main": "lib/index.js"})");
    Put("node_modules/cjs-lib/lib/index.js",
        "const helper = require('./helper');\nmodule.exports = { name: 'cjs', twice: "
        "helper.twice, again: require('./helper') === helper };\n");
    Put("node_modules/cjs-lib/lib/helper.js", "exports.twice = x => 2 * x;\n");

    EXPECT_TRUE(host().RunFile(scripts + "main.mjs")) << host().GetLastError();
    // The live binding shows the bump; b saw counter before it.
    EXPECT_EQ(Eval("result"), "1,ab0,7,cjs,42,true,awaited");
    EXPECT_EQ(Eval("counterRuns"), "1");
    EXPECT_EQ(Eval("url"), "file://" + scripts + "main.mjs");
    // Running it again evaluates nothing again; a reset registry does.
    EXPECT_TRUE(host().RunFile(scripts + "main.mjs"));
    EXPECT_EQ(Eval("counterRuns"), "1");
    EXPECT_EQ(host().GetModules()->GetModuleCount(), 8u);
    host().ResetModules();
    EXPECT_TRUE(host().RunFile(scripts + "main.mjs"));
    EXPECT_EQ(Eval("counterRuns"), "2");

    // import() from a classic script, from a module and from code of no file;
    // each resolves against where it was written.
    Put("dynamic.mjs", "export const value = 'dyn';\n"
                       "export const nested = import('./counter.mjs').then(m => m.count);\n");
    const std::string classic =
        Put("classic.js", "import('./dynamic.mjs').then(m => m.nested.then(n => "
                          "globalThis.dyn = m.value + n));\n"
                          "import('./missing.mjs').catch(e => globalThis.missing = e.message);\n"
                          "import('fs').catch(e => globalThis.builtin = e.message);\n"
                          "globalThis.later = () => import('./dynamic.mjs');\n");
    EXPECT_TRUE(host().RunFile(classic));
    EXPECT_EQ(Eval("dyn"), "dyn1");
    // The file an import() resolves against outlives a collection.
    host().CollectGarbage();
    Eval("later().then(m => globalThis.afterCollection = m.value)");
    EXPECT_EQ(Eval("afterCollection"), "dyn");
    EXPECT_EQ(Eval("missing").find("cannot find module \"./missing.mjs\""), 0u) << Eval("missing");
    EXPECT_NE(Eval("builtin").find("Node built-in \"fs\""), std::string::npos) << Eval("builtin");
    Eval("import('./dynamic.mjs').then(m => globalThis.fromNoFile = m.value)");
    EXPECT_EQ(Eval("fromNoFile"), "dyn");
    EXPECT_EQ(Eval("typeof import('marrowvale').then"), "function");

    // A package that needs a Node built-in is refused by name, and the game goes on.
    Put("node_modules/needs-fs/package.json", R"({"name": "needs-fs", "main": "index.js"})");
    Put("node_modules/needs-fs/index.js", "const fs = require('fs');\nmodule.exports = 1;\n");
    Put("uses-fs.mjs", "import x from 'needs-fs';\n");
    const std::string refused = ErrorOfModule("uses-fs.mjs");
    EXPECT_NE(refused.find(scripts + "uses-fs.mjs:1:15: cannot load \"needs-fs\""),
              std::string::npos)
        << refused;
    EXPECT_NE(refused.find("the package \"needs-fs\" needs the Node built-in \"fs\""),
              std::string::npos)
        << refused;
    EXPECT_EQ(Eval("6 * 7"), "42");
}

TEST_F(ModuleTest, ErrorsAreReportedAtTheImportThatCausedThem) {
    Put("bad.mjs", "export const a = 1;\nexport const = 2;\n");
    Put("thrower.mjs", "export const a = 1;\n\n  throw new Error('boom');\n");
    Put("lib.mjs", "export const present = 1;\n");
    Put("util.js", "export const u = 1;\n");
    fs::create_directories(folder.path / "Scripts" / "folder.mjs");
    ASSERT_EQ(::mkfifo((folder.path / "Scripts" / "fifo.mjs").c_str(), 0600), 0);
    struct Case {
        const char* source;
        std::string expected; // after the importer's path
    };
    const Case cases[] = {
        {"\nimport './nowhere.mjs';", ":2:8: cannot find module \"./nowhere.mjs\""},
        {"import { u } from './util';",
         ":1:19: cannot find module \"./util\" (imported from " + scripts +
             "importer.mjs): imports need the file's extension, as in \"./util.js\""},
        {"import './bad.mjs';", ":1:8: cannot load \"./bad.mjs\": "},
        {"import { absent } from './lib.mjs';", ":1:10: SyntaxError: import not found: absent"},
        {"import './folder.mjs';", ":1:8: cannot import \"./folder.mjs\""},
        {"import './fifo.mjs';", ":1:8: cannot import \"./fifo.mjs\""},
        {"import 'no-such-package';", ":1:8: cannot find package \"no-such-package\""},
    };
    for (const Case& c : cases) {
        Put("importer.mjs", c.source);
        host().ResetModules();
        const std::string error = ErrorOfModule("importer.mjs");
        EXPECT_EQ(error.find(scripts + "importer.mjs" + c.expected), 0u) << c.source << "\n"
                                                                         << error;
    }
    Put("importer.mjs", "import './bad.mjs';");
    EXPECT_NE(ErrorOfModule("importer.mjs").find(scripts + "bad.mjs:2:14: SyntaxError"),
              std::string::npos)
        << host().GetLastError();
    // A throwing body reports where it threw; nothing of a broken graph ran.
    Put("importer.mjs", "import './thrower.mjs';\nglobalThis.after = 1;");
    EXPECT_EQ(ErrorOfModule("importer.mjs"), scripts + "thrower.mjs:3:9: boom");
    EXPECT_EQ(Eval("typeof after"), "undefined");
    // One that fails after a top-level await is reported when it does.
    Put("late.mjs", "await null;\nthrow new Error('after await');\n");
    EXPECT_TRUE(host().RunFile(scripts + "late.mjs"));
    EXPECT_EQ(host().GetLastError(), scripts + "late.mjs:2:7: after await");
    // One that never settles is named, once, when its importer has waited long.
    Put("stuck.mjs", "await new Promise(() => {});\nexport const never = 1;\n");
    Put("waits.mjs", "import './lib.mjs';\nimport { never } from './stuck.mjs';\n");
    EXPECT_TRUE(host().RunFile(scripts + "waits.mjs"));
    int reports = 0;
    host().AddOutputListener(this, [&](const std::string&) { ++reports; });
    const auto now = std::chrono::steady_clock::now();
    for (int seconds : {1, 6, 12})
        host().GetModules()->ReportWaiting(now + std::chrono::seconds(seconds));
    host().RemoveOutputListener(this);
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(host().GetLastError(), scripts +
                                         "stuck.mjs: its top-level await has not settled "
                                         "after 5 s, so " +
                                         scripts +
                                         "waits.mjs, which imports it, has not finished running");
    EXPECT_EQ(ErrorOfModule("missing.mjs").find(scripts + "missing.mjs: cannot open"), 0u)
        << host().GetLastError();
    // A module importing itself is a cycle like any other.
    Put("self.mjs", "import * as itself from './self.mjs';\nexport const me = 'me';\n"
                    "globalThis.selfSeen = itself.me;\n");
    EXPECT_EQ(ErrorOfModule("self.mjs"), "");
    EXPECT_EQ(Eval("selfSeen"), "me");
}

TEST_F(ModuleTest, SourcesAreUtf8WhenValidAndBytesOtherwise) {
    Put("word.mjs",
        "const caf\xc3\xa9 = 'na\xc3\xafve \xe2\x86\x92';\n"
        "globalThis.moduleWord = caf\xc3\xa9.length + ':' + caf\xc3\xa9.charCodeAt(6);\n");
    EXPECT_TRUE(host().RunFile(scripts + "word.mjs"));
    EXPECT_EQ(Eval("moduleWord"), "7:8594");
    const std::string utf8 =
        Put("utf8.js", "var \xc3\xb1 = '\xc3\xa9\xe2\x86\x92'; var classicWord = \xc3\xb1;");
    const std::string bytes = Put("bytes.js", "var byteWord = '\xe9\xff';");
    EXPECT_TRUE(host().RunFile(utf8));
    EXPECT_TRUE(host().RunFile(bytes));
    EXPECT_EQ(Eval("[classicWord.length, classicWord.charCodeAt(1), byteWord.length, "
                   "byteWord.charCodeAt(1)].join()"),
              "2,8594,2,255");
    // CommonJS and JSON as .mjs: a byte order mark is skipped, other bytes are Latin-1.
    Put("bom.cjs", "\xEF\xBB\xBFmodule.exports = require('./bom.json').n;\n");
    Put("bom.json", "\xEF\xBB\xBF{\"n\": 1}");
    Put("latin.json", "{\"word\": \"caf\xe9\"}");
    Put("kinds.mjs", "import c from './bom.cjs';\nimport j from './bom.json';\n"
                     "import l from './latin.json';\n"
                     "globalThis.kinds = [c, j.n, l.word.charCodeAt(3)].join();\n");
    EXPECT_TRUE(host().RunFile(scripts + "kinds.mjs")) << host().GetLastError();
    EXPECT_EQ(Eval("kinds"), "1,1,233");
    // The entry a game's scripts folder names.
    EXPECT_EQ(ModuleLoader::FindGameEntry(scripts), "");
    Put("package.json", R"({"main": "start.mjs"})");
    Put("start.mjs", "globalThis.started = true;");
    EXPECT_EQ(ModuleLoader::FindGameEntry(scripts), scripts + "start.mjs");
    EXPECT_TRUE(host().RunGameEntry(scripts));
    EXPECT_EQ(Eval("started"), "true");
}

TEST_F(ModuleTest, TypeScriptRunsAsWrittenWithItsOwnPositions) {
    Put("main.ts", R"(import type { Shape } from "./shapes.ts";
import { Square, area, largest, type Named } from "./shapes.ts";
import { tally } from "./tally.mts";
import legacy from "./legacy.cts";
declare const neverDefined: number;
const shapes: Shape[] = [new Square(2), { kind: "circle", r: 1 } satisfies Shape];
const named: Named = { name: "sq" } as Named;
const big = largest<Shape>(shapes, area)!;
globalThis.tsResult = [area(shapes[0]), big.kind, named.name, tally(1, 2, 3), tally("ab"), legacy(4),
                       typeof neverDefined === "undefined"].join();
)");
    const std::string shapes = R"(export interface Named { readonly name: string }
export type Shape = { kind: "square"; side: number } | { kind: "circle"; r: number };
abstract class Base<T extends object = {}> {
    protected abstract describe(): string;
    public static count: number = 0;
    private readonly id?: number;
}
export class Square extends Base implements Named {
    readonly kind = "square" as const;
    declare extra: string;
    name!: string;
    side: number; constructor(side: number) { super(); this.side = side; }
    protected override describe(): string { return `square ${this.side}`; }
}
export function area(shape: Shape): number {
    return shape.kind === "square" ? shape.side * shape.side : Math.round(Math.PI * shape.r ** 2);
}
export function largest<T>(items: readonly T[], size: (item: T) => number): T | undefined {
    let best: T | undefined;
    for (const item of items) if (best === undefined || size(item) > size(best as T)) best = item;
    return best;
}
export function fail(where: string): never { const e: Error = new Error(where); throw e; }
)";
    // A parameter property needs code generated: refused at its position, with what to write.
    const std::string fixed =
        "side: number; constructor(side: number) { super(); this.side = side; }";
    Put("shapes.ts", std::string(shapes).replace(shapes.find(fixed), fixed.size(),
                                                 "constructor(public side: number) { super(); }"));
    const std::string refused = ErrorOfModule("main.ts");
    EXPECT_NE(refused.find(scripts + "main.ts:2:"), std::string::npos) << refused;
    EXPECT_NE(refused.find(scripts + "shapes.ts:12:24: a parameter property"), std::string::npos)
        << refused;
    EXPECT_NE(refused.find("declare the field in the class"), std::string::npos) << refused;
    Put("shapes.ts", shapes);
    Put("tally.mts", "export function tally(...n: number[]): number;\n"
                     "export function tally(s: string): number;\n"
                     "export function tally(...a: any[]): number { return a.length; }\n");
    Put("legacy.cts", "const helper: { twice(n: number): number } = require('./helper.cts');\n"
                      "module.exports = helper.twice;\n");
    Put("helper.cts", "exports.twice = (n: number): number => 2 * n;\n");
    EXPECT_EQ(ErrorOfModule("main.ts"), "");
    EXPECT_EQ(Eval("tsResult"), "4,square,sq,3,1,8,true");
    // Its texts erased, the stripper is let go, so collections need not walk it.
    EXPECT_FALSE(host().GetModules()->GetTypeScriptEraser().IsStarted());

    // Errors at the .ts file's own lines and columns: thrown, in a stack, at compile time.
    Put("throws.ts",
        "import { fail } from './shapes.ts';\nlet n: number = 1; fail('boom' as string);\n");
    EXPECT_EQ(ErrorOfModule("throws.ts"), scripts + "shapes.ts:23:63: boom");
    Eval("import('./shapes.ts').then(m => { try { m.fail('x'); } catch (e) { globalThis.tsStack = "
         "e.stack; } })");
    EXPECT_EQ(Eval("tsStack").find("fail@" + scripts + "shapes.ts:23:63"), 0u) << Eval("tsStack");
    Put("syntax.ts", "const a: number = 1;\nconst b: string = ;\n");
    EXPECT_EQ(ErrorOfModule("syntax.ts").find(scripts + "syntax.ts:2:19: SyntaxError"), 0u)
        << host().GetLastError();
    Put("colors.ts", "export const x: number = 1;\n  export enum Color { Red }\n");
    Put("uses-colors.ts", "import { x } from './colors';\n");
    EXPECT_EQ(ErrorOfModule("uses-colors.ts"),
              scripts + "uses-colors.ts:1:19: cannot find module \"./colors\" (imported from " +
                  scripts +
                  "uses-colors.ts): imports need the file's extension, as in \"./colors.ts\"");
    const std::string enumError = ErrorOfModule("colors.ts");
    EXPECT_EQ(enumError.find(scripts + "colors.ts:2:10: `enum` is not supported"), 0u) << enumError;
    EXPECT_NE(enumError.find("`as const` object"), std::string::npos) << enumError;
    EXPECT_FALSE(host().CheckFile(scripts + "colors.ts"));
    EXPECT_EQ(host().GetLastError(), enumError);
    // The entry a game's scripts folder names may be TypeScript.
    EXPECT_EQ(ModuleLoader::FindGameEntry(scripts), scripts + "main.ts");

    // On real TypeScript (zod's sources, from tests/npm): the same lines, each
    // as long, and every character left standing is the source's at its column
    // (or a `;` the stripper puts where a blanked type would let the next line
    // join the previous one).
    const fs::path diskCache = TypeScriptEraser::GetDiskCacheFolder();
    EXPECT_EQ(diskCache, fs::weakly_canonical(folder.path) / ".cache/typescript");
    const auto listCache = [&] {
        std::set<fs::path> entries;
        for (const auto& entry : fs::directory_iterator(diskCache))
            entries.insert(entry.path());
        return entries;
    };
    const std::set<fs::path> before = listCache();
    EXPECT_FALSE(before.empty()) << "the modules above are kept on disk";
    TypeScriptEraser eraser(host().GetContext());
    const fs::path corpus =
        fs::path(MARROWVALE_SOURCE_DIR) / "tests/npm/node_modules/zod/src/v4/core";
    size_t files = 0, blanked = 0;
    std::vector<std::pair<std::string, std::string>> texts; // source, erased
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (entry.path().extension() != ".ts")
            continue;
        std::ostringstream text;
        text << std::ifstream(entry.path()).rdbuf();
        std::string erased = text.str();
        ASSERT_TRUE(eraser.Erase(entry.path().string(), erased)) << entry.path();
        texts.emplace_back(text.str(), erased);
        std::istringstream before(text.str()), after(erased);
        std::string from, to;
        while (std::getline(before, from)) {
            ASSERT_TRUE(std::getline(after, to)) << entry.path();
            const std::u32string a = Characters(from), b = Characters(to);
            ASSERT_EQ(a.size(), b.size()) << entry.path() << ": " << from;
            for (size_t i = 0; i < a.size(); ++i)
                if (b[i] != a[i]) {
                    ASSERT_TRUE(b[i] == U' ' || b[i] == U';') << entry.path() << ": " << from;
                    ++blanked;
                }
        }
        EXPECT_FALSE(std::getline(after, to)) << entry.path();
        ++files;
    }
    EXPECT_GT(files, 10u);
    EXPECT_GT(blanked, 10000u);
    EXPECT_EQ(eraser.GetCachedCount(), files);
    EXPECT_EQ(eraser.GetErasedCount(), files);

    // The next start (a new eraser) takes every text from the disk and erases
    // none; entries cut short, damaged, or another text's under this one's name
    // are not used but erased again and written anew; a changed file is never
    // served its old text.
    std::vector<fs::path> written;
    for (const fs::path& entry : listCache())
        if (!before.count(entry))
            written.push_back(entry);
    ASSERT_EQ(written.size(), files);
    const auto eraseAll = [&](size_t erasedCount) {
        TypeScriptEraser next(host().GetContext());
        for (const auto& [source, erased] : texts) {
            std::string text = source;
            ASSERT_TRUE(next.Erase("corpus.ts", text));
            EXPECT_EQ(text, erased);
        }
        EXPECT_EQ(next.GetErasedCount(), erasedCount);
        EXPECT_EQ(next.GetDiskLoadedCount(), files - erasedCount);
    };
    eraseAll(0);
    fs::resize_file(written[0], fs::file_size(written[0]) - 1);
    fs::copy_file(written[3], written[1], fs::copy_options::overwrite_existing);
    std::fstream damaged(written[2], std::ios::in | std::ios::out | std::ios::binary);
    damaged.seekp(-2, std::ios::end);
    damaged.put('#');
    damaged.close();
    eraseAll(3);
    eraseAll(0);
    TypeScriptEraser changed(host().GetContext());
    std::string edited = texts[0].first + "\nlet added: number = 1;\n";
    ASSERT_TRUE(changed.Erase("corpus.ts", edited));
    EXPECT_EQ(edited, texts[0].second + "\nlet added         = 1;\n");
    EXPECT_EQ(changed.GetErasedCount(), 1u);
}

} // namespace
