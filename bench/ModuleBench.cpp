// What loading a game written as modules costs against the same code as
// classic scripts, and what one real npm package costs to load.
//
// BM_LoadModules reads, compiles, links and evaluates an entry module that
// imports 200 small modules, with a fresh registry every iteration (as a start
// or a live reload has); BM_LoadTypeScriptModules the same graph as .ts files,
// erased texts cached in memory (a live reload); BM_RestartTypeScriptModules
// with only the disk cache warm (the game's next start);
// BM_FirstStartTypeScriptModules with both cold, the stripper already started
// (BM_StartTypeScriptEraser adds that). BM_RunClassicFiles runs the same code as 200 classic
// files through RunFile from one script. BM_LoadNpmPackage loads simplex-noise
// from the sample game's node_modules (installed by the set-up) and makes one
// noise value. BM_EraseTypeScript blanks the types of a large real TypeScript
// file (zod's core schemas, from tests/npm's node_modules) with the caches
// cleared every iteration (the disk's written again), and counts source lines
// a second;
// BM_StartTypeScriptEraser what the first TypeScript file of a run costs more.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "base/Path.h"
#include "script/ModuleLoader.h"
#include "script/ScriptHost.h"
#include "script/TypeScriptEraser.h"

namespace {

namespace fs = std::filesystem;
constexpr int kFiles = 200;

// One small unit of game code, as a module or as a classic script (whose
// top-level names live in the one global scope, so it declares them with var
// to run again); a typed module is the same code in TypeScript.
std::string Unit(int i, bool module, bool typed = false) {
    const std::string n = std::to_string(i);
    const std::string body =
        std::string(typed ? "type State = { x: number; y: number };\n" : "") + "function step" + n +
        (typed ? "(state: State): State {\n" : "(state) {\n") + "    const next = { x: state.x + " +
        n + ", y: state.y * 2 };\n" + "    for (let k = 0; k < 3; ++k)\n" +
        "        next.y = (next.y + k) % 1000;\n" + "    return next;\n}\n" +
        (module ? "const" : "var") + " table" + n + (typed ? ": number[]" : "") + " = [" + n +
        ", " + n + " + 1, " + n + " + 2];\n";
    return module ? body + "export { step" + n + ", table" + n + " };\n"
                  : body +
                        "var units = globalThis.units || (globalThis.units = []);\n"
                        "units.push(step" +
                        n + ");\n";
}

struct Game {
    Game()
        : folder(fs::temp_directory_path() /
                 ("marrowvale-module-bench-" + std::to_string(::getpid()))) {
        fs::create_directories(folder);
        std::string main;
        std::string typedMain;
        std::string classic;
        for (int i = 0; i < kFiles; ++i) {
            const std::string n = std::to_string(i);
            std::ofstream(folder / ("unit" + n + ".mjs")) << Unit(i, true);
            std::ofstream(folder / ("unit" + n + ".ts")) << Unit(i, true, true);
            std::ofstream(folder / ("unit" + n + ".js")) << Unit(i, false);
            main += "import { step" + n + " } from './unit" + n + ".mjs';\n";
            typedMain += "import { step" + n + " } from './unit" + n + ".ts';\n";
            classic += "RunFile('" + (folder / ("unit" + n + ".js")).string() + "');\n";
        }
        main += "globalThis.loaded = step199({ x: 1, y: 1 }).x;\n";
        typedMain += "globalThis.loaded = step199({ x: 1, y: 1 }).x;\n";
        std::ofstream(folder / "main.mjs") << main;
        std::ofstream(folder / "main.ts") << typedMain;
        std::ofstream(folder / "main.js") << "globalThis.units = [];\n" << classic;
        // The disk cache of erased texts goes here, not in a game's folder.
        SetSaveFolder((folder / "save").string());
    }
    ~Game() { fs::remove_all(folder); }
    const fs::path folder;
};

// Made once: every benchmark's files, and the save folder that takes the disk
// cache of erased texts.
const Game& TheGame() {
    static const Game game;
    return game;
}

ScriptHost& Host() {
    TheGame();
    ScriptHost& host = ScriptHost::Instance();
    host.Initialize();
    return host;
}

void BM_LoadModules(benchmark::State& state) {
    const Game& game = TheGame();
    ScriptHost& host = Host();
    const std::string main = (game.folder / "main.mjs").string();
    for (auto _ : state) {
        host.ResetModules();
        if (!host.RunFile(main))
            state.SkipWithError("the module graph did not load");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_LoadModules)->Unit(benchmark::kMillisecond);

// The same graph written in TypeScript, the erased texts warm in the cache as on a
// live reload: against BM_LoadModules, what running .ts as written costs.
void BM_LoadTypeScriptModules(benchmark::State& state) {
    const Game& game = TheGame();
    ScriptHost& host = Host();
    const std::string main = (game.folder / "main.ts").string();
    host.ResetModules();
    if (!host.RunFile(main)) // starts the stripper and fills the cache
        state.SkipWithError("the TypeScript graph did not load");
    for (auto _ : state) {
        host.ResetModules();
        if (!host.RunFile(main))
            state.SkipWithError("the TypeScript graph did not load");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_LoadTypeScriptModules)->Unit(benchmark::kMillisecond);

// The graph's next start: nothing in memory, every erased text on disk.
void BM_RestartTypeScriptModules(benchmark::State& state) {
    const Game& game = TheGame();
    ScriptHost& host = Host();
    TypeScriptEraser& eraser = host.GetModules()->GetTypeScriptEraser();
    const std::string main = (game.folder / "main.ts").string();
    host.ResetModules();
    if (!host.RunFile(main)) // fills the disk cache
        state.SkipWithError("the TypeScript graph did not load");
    // As in a new process: the stripper never starts, and its memory is not
    // the collector's to walk.
    eraser.Stop();
    host.CollectGarbage();
    for (auto _ : state) {
        eraser.ClearCache();
        host.ResetModules();
        if (!host.RunFile(main))
            state.SkipWithError("the TypeScript graph did not load");
    }
    if (eraser.IsStarted())
        state.SkipWithError("the stripper started again: the disk cache missed");
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_RestartTypeScriptModules)->Unit(benchmark::kMillisecond);

// The graph's first start: every file erased and written to the disk cache.
void BM_FirstStartTypeScriptModules(benchmark::State& state) {
    const Game& game = TheGame();
    ScriptHost& host = Host();
    TypeScriptEraser& eraser = host.GetModules()->GetTypeScriptEraser();
    const std::string main = (game.folder / "main.ts").string();
    host.ResetModules();
    if (!host.RunFile(main)) // starts the stripper
        state.SkipWithError("the TypeScript graph did not load");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(TypeScriptEraser::GetDiskCacheFolder());
        eraser.ClearCache();
        state.ResumeTiming();
        host.ResetModules();
        if (!host.RunFile(main))
            state.SkipWithError("the TypeScript graph did not load");
    }
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_FirstStartTypeScriptModules)->Unit(benchmark::kMillisecond);

void BM_RunClassicFiles(benchmark::State& state) {
    const Game& game = TheGame();
    ScriptHost& host = Host();
    const std::string main = (game.folder / "main.js").string();
    for (auto _ : state)
        if (!host.RunFile(main))
            state.SkipWithError("the scripts did not run");
    state.SetItemsProcessed(state.iterations() * kFiles);
}
BENCHMARK(BM_RunClassicFiles)->Unit(benchmark::kMillisecond);

void BM_LoadNpmPackage(benchmark::State& state) {
    const fs::path scripts = fs::path(MARROWVALE_SOURCE_DIR) / "resource" / "Scripts";
    if (!fs::exists(scripts / "node_modules" / "simplex-noise")) {
        state.SkipWithError("resource/Scripts/node_modules has no simplex-noise: run make setup");
        return;
    }
    const fs::path entry = scripts / ".module-bench.mjs";
    std::ofstream(entry) << "import { createNoise2D } from 'simplex-noise';\n"
                            "globalThis.noiseValue = createNoise2D(() => 0.5)(0.3, 0.7);\n";
    ScriptHost& host = Host();
    for (auto _ : state) {
        host.ResetModules();
        if (!host.RunFile(entry.string()))
            state.SkipWithError("simplex-noise did not load");
    }
    fs::remove(entry);
}
BENCHMARK(BM_LoadNpmPackage)->Unit(benchmark::kMillisecond);

void BM_EraseTypeScript(benchmark::State& state) {
    const fs::path file = fs::path(MARROWVALE_SOURCE_DIR) / "tests" / "npm" / "node_modules" /
                          "zod" / "src" / "v4" / "core" / "schemas.ts";
    std::ifstream in(file);
    if (!in) {
        state.SkipWithError("tests/npm/node_modules has no zod sources: run make setup");
        return;
    }
    std::ostringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    const auto lines = static_cast<double>(std::count(source.begin(), source.end(), '\n'));
    TypeScriptEraser eraser(Host().GetContext());
    std::string started = "let started: boolean = true;";
    if (!eraser.Erase("start.ts", started)) // its start is BM_StartTypeScriptEraser's
        state.SkipWithError("the type stripper did not start");
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(TypeScriptEraser::GetDiskCacheFolder());
        eraser.ClearCache();
        state.ResumeTiming();
        std::string erased = source;
        if (!eraser.Erase(file.string(), erased) || erased.size() < source.size() / 2)
            state.SkipWithError("the TypeScript file was not erased");
    }
    state.counters["lines/s"] = benchmark::Counter(lines * static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EraseTypeScript)->Unit(benchmark::kMillisecond);

// What the first TypeScript file of a run pays once: the stripper's global,
// its script and the compilation of its WebAssembly.
void BM_StartTypeScriptEraser(benchmark::State& state) {
    ScriptHost& host = Host();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(TypeScriptEraser::GetDiskCacheFolder());
        state.ResumeTiming();
        TypeScriptEraser eraser(host.GetContext());
        std::string source = "let started: boolean = true;";
        if (!eraser.Erase("start.ts", source))
            state.SkipWithError("the type stripper did not start");
    }
}
BENCHMARK(BM_StartTypeScriptEraser)->Unit(benchmark::kMillisecond);

} // namespace
