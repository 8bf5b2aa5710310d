// Whole frames of a running engine, timed around Core::RunFrame. Needs a display (run it
// under xvfb-run on a headless machine). One scenario per run, as the engine starts once
// per process:
//   peak     a small scene before a peak of objects, right after it and 500 frames later,
//            for voxels, then for sprites, text and click boxes
//   sample   the frame-time distribution of the sample game over 5,000 frames
//   garbage  the same for a script that allocates 50,000 small objects a frame

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

#include <js/GCAPI.h>
#include <jsapi.h>

#include "core/Core.h"
#include "objects/ObjectManager.h"
#include "script/ScriptHost.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    const std::size_t at = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1));
    return values[at];
}

// What the script heap's collector did in a frame.
struct Collections {
    std::uint32_t major = 0, minor = 0, slices = 0;
};
Collections Counters() {
    JSContext* cx = ScriptHost::Instance().GetContext();
    return {JS_GetGCParameter(cx, JSGC_MAJOR_GC_NUMBER),
            JS_GetGCParameter(cx, JSGC_MINOR_GC_NUMBER), JS_GetGCParameter(cx, JSGC_NUMBER)};
}

// Milliseconds of processor time the calling thread has used: what a frame costs
// the engine itself, apart from the rasteriser's threads and whatever else the
// machine runs meanwhile, which make wall times of whole windows drift by a fifth.
double ThreadMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

std::vector<double> threadTimes; // of the last TimeFrames, frame by frame

std::vector<double> TimeFrames(Core& core, int frames,
                               std::vector<Collections>* collections = nullptr) {
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(frames));
    threadTimes.clear();
    for (int i = 0; i < frames && core.running; ++i) {
        const Collections before = Counters();
        const Clock::time_point start = Clock::now();
        const double threadStart = ThreadMs();
        core.RunFrame();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        threadTimes.push_back(ThreadMs() - threadStart);
        const Collections after = Counters();
        if (collections)
            collections->push_back({after.major - before.major, after.minor - before.minor,
                                    after.slices - before.slices});
    }
    return times;
}

void Write(const fs::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

// A game folder of its own for the scripted scenarios: the engine's shaders, fonts, models
// and textures, and start-up scripts that build nothing.
fs::path MakeResourceDir() {
    const fs::path source = fs::path(MARROWVALE_SOURCE_DIR) / "resource";
    const fs::path dir =
        fs::temp_directory_path() / ("marrowvale-scenebench-" + std::to_string(::getpid()));
    fs::create_directories(dir / "Scripts");
    for (const char* folder : {"Shaders", "Fonts", "Models", "Textures", "Sounds"})
        fs::create_directory_symlink(source / folder, dir / folder);
    Write(dir / "Scripts" / "startup.js", "var core = Core.Instance();\n");
    Write(dir / "Scripts" / "postInit.js", "\n");
    return dir;
}

// Runs a classic script written for the scenario, in the global scope the others share.
void Run(const fs::path& dir, const std::string& name, const std::string& source) {
    const fs::path file = dir / "Scripts" / name;
    Write(file, source);
    if (!ScriptHost::Instance().RunFile(file.string())) {
        std::fprintf(stderr, "%s failed\n", name.c_str());
        std::exit(1);
    }
}

const char* const kHelpers = R"(
var om = core.objectManager;
var graphics = core.GraphicsSystem_;
function Make(names) {
    var obj = om.NewObject();
    for (var i = 0; i < names.length; ++i) ObjectManager["Add" + names[i]](obj);
    ObjectManager.InitializeObj(obj);
    return obj;
}
function Place(obj, position) { ObjectManager.TransformComponent(obj).position = position; }
var camera = Make(["TransformComponent", "CameraComponent"]);
Place(camera, [0, 6, 22]);
ObjectManager.TransformComponent(camera).orientation = [0.9914, 0.1305, 0, 0];
ObjectManager.CameraComponent(camera).SetActive(true);
)";

// The village-sized scene: ten models and voxels and the camera, 11 objects.
const char* const kVoxelScene = R"(
var models = "../resource/Models/";
["ground.vxm", "house.vxm", "tree.vxm", "tree.vxm", "crystal.vxm"].forEach(function (file, i) {
    var obj = Make(["TransformComponent", "VoxelModelComponent"]);
    Place(obj, [i * 4 - 8, 0, -4]);
    ObjectManager.VoxelModelComponent(obj).model = graphics.GetModel(models + file);
});
for (var i = 0; i < 5; ++i) {
    var obj = Make(["TransformComponent", "VoxelComponent"]);
    Place(obj, [i - 2, 1, 3]);
    ObjectManager.VoxelComponent(obj).color = [0.55, 0.38, 0.2, 1];
}
)";

const char* const kVoxelPeak = R"(
var peak = [];
for (var i = 0; i < 100000; ++i) {
    var obj = om.NewObject();
    ObjectManager.AddTransformComponent(obj).position = [i % 100 - 50, (i / 100 | 0) % 50, -60 - (i / 5000 | 0)];
    ObjectManager.AddVoxelComponent(obj).color = [1, 0.5, 0.2, 1];
    peak.push(obj);
}
for (var i = 0; i < peak.length; ++i) om.DeleteObject(peak[i]);
peak = null;
)";

// An overlay scene: sprites, text lines and click boxes, 20 objects with the camera.
const char* const kOverlayScene = R"(
var gem = graphics.GetTexture("../resource/Textures/gem.png");
var overlay = [];
for (var i = 0; i < 7; ++i) {
    var obj = Make(["TransformComponent", "SpriteComponent"]);
    Place(obj, [i * 60 - 180, 200, 0]);
    var sprite = ObjectManager.SpriteComponent(obj);
    sprite.texture = gem; sprite.alpha = 1; sprite.z = i % 3;
}
for (var i = 0; i < 6; ++i) {
    var obj = Make(["TransformComponent", "DrawTextComponent"]);
    Place(obj, [0, i * 30 - 100, 0]);
    var text = ObjectManager.DrawTextComponent(obj);
    text.text = "line " + i; text.fontSize = 22; text.color = [1, 1, 0.8, 1];
}
for (var i = 0; i < 6; ++i) {
    var obj = Make(["TransformComponent", "ClickBoxComponent"]);
    Place(obj, [i * 80 - 200, -250, 0]);
    var box = ObjectManager.ClickBoxComponent(obj);
    box.extents = [30, 20];
    box.mouseNotOverFunction = function (owner, at) { };
}
)";

const char* const kSpritePeak = R"(
var peak = [];
for (var i = 0; i < 50000; ++i) {
    var obj = om.NewObject();
    ObjectManager.AddTransformComponent(obj).position = [i % 600 - 300, (i / 600 | 0) * 4 - 200, 0];
    var sprite = ObjectManager.AddSpriteComponent(obj);
    sprite.texture = gem; sprite.alpha = 1; sprite.scale = [0.1, 0.1];
    peak.push(obj);
}
for (var i = 0; i < peak.length; ++i) om.DeleteObject(peak[i]);
peak = null;
)";

// Times `frames` frames of the standing scene, then the peak's own frame, then the scene
// again right away and once more after 500 frames.
void TimePeak(Core& core, const fs::path& dir, const char* label, const std::string& peakScript,
              std::size_t liveObjects) {
    constexpr int kFrames = 200;
    TimeFrames(core, 30); // warm-up: shaders, caches, the first collections
    const double before = Percentile(TimeFrames(core, kFrames), 0.5);
    const double beforeCpu = Percentile(threadTimes, 0.5);
    Run(dir, "peak.js", peakScript);
    const Clock::time_point start = Clock::now();
    core.RunFrame(); // draws the peak, then carries out its destruction
    const double peakMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double after = Percentile(TimeFrames(core, kFrames), 0.5);
    const double afterCpu = Percentile(threadTimes, 0.5);
    TimeFrames(core, 500 - kFrames);
    const double later = Percentile(TimeFrames(core, kFrames), 0.5);
    const double laterCpu = Percentile(threadTimes, 0.5);
    std::printf("peak %s before %.2f ms after %.2f ms 500 frames later %.2f ms ratio %.2f  "
                "(peak frame %.0f ms; %u objects live, %zu expected)\n",
                label, before, after, later, std::max(after, later) / before, peakMs,
                core.objectManager->numGameObjects, liveObjects);
    std::printf("    main thread's processor time: before %.2f ms after %.2f ms later %.2f ms "
                "ratio %.2f\n",
                beforeCpu, afterCpu, laterCpu, std::max(afterCpu, laterCpu) / beforeCpu);
    std::fflush(stdout);
}

void PrintDistribution(const char* label, const std::vector<double>& times,
                       const std::vector<Collections>& collections) {
    const double median = Percentile(times, 0.5);
    // Where the slow frames come from: those that started a major collection, and
    // those that ran slices or minor collections only.
    int majorSpikes = 0, sliceSpikes = 0, minorSpikes = 0, quietSpikes = 0, majors = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const Collections& c = collections[i];
        majors += c.major;
        if (times[i] <= 2 * median)
            continue;
        if (c.major)
            ++majorSpikes;
        else if (c.slices > c.minor)
            ++sliceSpikes;
        else if (c.minor)
            ++minorSpikes;
        else
            ++quietSpikes;
    }
    const long spikes =
        std::count_if(times.begin(), times.end(), [&](double t) { return t > 2 * median; });
    std::printf("%s  %zu frames  median %.2f ms  p99 %.2f ms  worst %.2f ms (%.1fx median)  "
                "%ld frames over 2x median\n",
                label, times.size(), median, Percentile(times, 0.99),
                *std::max_element(times.begin(), times.end()),
                *std::max_element(times.begin(), times.end()) / median, spikes);
    std::printf("    (%d major collections; frames over 2x median: %d starting one, %d with slices "
                "of one, %d with minor collections only, %d with none)\n",
                majors, majorSpikes, sliceSpikes, minorSpikes, quietSpikes);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode != "peak" && mode != "sample" && mode != "garbage") {
        std::fprintf(stderr, "usage: %s peak|sample|garbage\n", argv[0]);
        return 2;
    }
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "marrowvale_scenebench needs a display; run it under xvfb-run\n");
        return 2;
    }
    Core& core = Core::Instance();
    fs::path dir;
    if (mode == "sample") {
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
    } else {
        dir = MakeResourceDir();
        core.SetResourceDir(dir.string());
    }
    core.Init();
    if (!core.running)
        return 1;

    if (mode == "peak") {
        Run(dir, "helpers.js", kHelpers);
        Run(dir, "voxels.js", kVoxelScene);
        TimePeak(core, dir, "voxels", kVoxelPeak, 11);
        core.objectManager->ClearAllObjects();
        Run(dir, "helpers.js", kHelpers);
        Run(dir, "overlay.js", kOverlayScene);
        TimePeak(core, dir, "sprites", kSpritePeak, 20);
    } else if (mode == "sample") {
        TimeFrames(core, 60);
        std::vector<Collections> collections;
        const std::vector<double> times = TimeFrames(core, 5000, &collections);
        PrintDistribution("sample game", times, collections);
    } else {
        Run(dir, "helpers.js", kHelpers);
        Run(dir, "voxels.js", kVoxelScene);
        Run(dir, "garbage.js", R"(
var kept = null;
var churn = Make(["ScriptUpdateComponent"]);
ObjectManager.ScriptUpdateComponent(churn).updateFunction = function (owner, dt) {
    var made = new Array(50000);
    for (var i = 0; i < made.length; ++i) made[i] = { x: i, y: dt };
    kept = made; // lives one frame
};
)");
        TimeFrames(core, 60);
        std::vector<Collections> collections;
        const std::vector<double> times = TimeFrames(core, 5000, &collections);
        PrintDistribution("50,000 objects a frame", times, collections);
    }
    if (!dir.empty())
        fs::remove_all(dir);
    return 0;
}
