// Frame cost of the engine's voxel rendering against a minimal GL program doing the same
// work: the same instance records, shaders, matrices and GL state, one buffer upload and
// one instanced draw per frame. Prints median frame times and their ratio per scene size.
// Needs a display (run under xvfb-run on a headless machine).

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <time.h>

#include <GL/glew.h>
#include <SFML/Graphics/RenderWindow.hpp>
#include <glm/gtc/quaternion.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/DrawTextComponent.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/ParticleSimulation.h"
#include "graphics/SpriteComponent.h"
#include "graphics/SpritePasses.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessageListener.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentFactory.h"
#include "objects/ObjectManager.h"
#include "physics/PhysicsDebugDrawer.h"
#include "physics/PhysicsSystem.h"
#include "tools/AntBarSystem.h"
#include "tools/ModelEditor.h"
#include "voxels/CubeGeometry.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelOcclusionCache.h"

namespace {

constexpr unsigned kWidth = 1280;
constexpr unsigned kHeight = 800;

using Clock = std::chrono::steady_clock;

double ProcessCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1000.0 + double(now.tv_nsec) / 1e6;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t mid = values.size() / 2;
    return values.size() % 2 ? values[mid] : 0.5 * (values[mid - 1] + values[mid]);
}

GLuint CompileFile(GLenum stage, const std::string& path) {
    std::ifstream input(path);
    std::stringstream text;
    text << input.rdbuf();
    const std::string source = text.str();
    const char* data = source.c_str();
    const GLuint shader = glCreateShader(stage);
    glShaderSource(shader, 1, &data, nullptr);
    glCompileShader(shader);
    GLint ok = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        std::fprintf(stderr, "cannot compile %s\n", path.c_str());
        std::exit(1);
    }
    return shader;
}

// The baseline: the textbook instanced draw with no engine around it.
class RawVoxelRenderer {
  public:
    explicit RawVoxelRenderer(const std::string& shaderDir) {
        program = glCreateProgram();
        glAttachShader(program, CompileFile(GL_VERTEX_SHADER, shaderDir + "voxelShader.vs"));
        glAttachShader(program, CompileFile(GL_FRAGMENT_SHADER, shaderDir + "constAmbient.fs"));
        glLinkProgram(program);
        modelView = glGetUniformLocation(program, "modelViewMatrix");
        perspective = glGetUniformLocation(program, "perspectiveMatrix");
        sampler = glGetUniformLocation(program, "voxelDataBuffer");

        glGenBuffers(1, &cubeBuffer);
        glBindBuffer(GL_ARRAY_BUFFER, cubeBuffer);
        glBufferData(GL_ARRAY_BUFFER, sizeof kUnitCube, &kUnitCube, GL_STATIC_DRAW);
        glGenVertexArrays(1, &cubeArray);
        glBindVertexArray(cubeArray);
        glEnableVertexAttribArray(0);
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        glVertexAttribPointer(1, 3, GL_FLOAT, GL_FALSE, 0,
                              reinterpret_cast<const void*>(sizeof kUnitCube.positions));
        glBindVertexArray(0);
        glBindBuffer(GL_ARRAY_BUFFER, 0);

        glGenBuffers(1, &dataBuffer);
        glBindBuffer(GL_TEXTURE_BUFFER, dataBuffer);
        glBufferData(GL_TEXTURE_BUFFER, GraphicsSystem::kVoxelBufferBytes, nullptr,
                     GL_DYNAMIC_DRAW);
        glGenTextures(1, &dataTexture);
        glBindTexture(GL_TEXTURE_BUFFER, dataTexture);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, dataBuffer);
        glBindTexture(GL_TEXTURE_BUFFER, 0);
        glBindBuffer(GL_TEXTURE_BUFFER, 0);
    }

    void Frame(const std::vector<VoxelInstance>& instances, const glm::mat4& view,
               const glm::mat4& projection) {
        glEnable(GL_CULL_FACE);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, kWidth, kHeight);
        glUseProgram(program);
        glUniformMatrix4fv(modelView, 1, GL_FALSE, glm::value_ptr(view));
        glUniformMatrix4fv(perspective, 1, GL_FALSE, glm::value_ptr(projection));
        glBindBuffer(GL_TEXTURE_BUFFER, dataBuffer);
        glBufferSubData(GL_TEXTURE_BUFFER, 0,
                        static_cast<GLsizeiptr>(instances.size() * sizeof(VoxelInstance)),
                        instances.data());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_BUFFER, dataTexture);
        glUniform1i(sampler, 0);
        glBindVertexArray(cubeArray);
        glDrawArraysInstanced(GL_TRIANGLES, 0, 36, static_cast<GLsizei>(instances.size()));
        glBindVertexArray(0);
        glUseProgram(0);
        glFinish();
    }

  private:
    GLuint program = 0, cubeBuffer = 0, cubeArray = 0, dataBuffer = 0, dataTexture = 0;
    GLint modelView = -1, perspective = -1, sampler = -1;
};

// A solid block of n unit voxels (side ceil(cbrt(n)), the last layer partly filled),
// centred on the origin, with random colours.
VoxelModel Block(std::size_t n) {
    const int side = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(n))));
    const float half = 0.5f * static_cast<float>(side - 1);
    VoxelModel model;
    model.voxels.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const int x = static_cast<int>(i) % side, y = static_cast<int>(i) / side % side,
                  z = static_cast<int>(i) / (side * side);
        VoxelInstance& v = model.voxels[i];
        v.position = {float(x) - half, float(y) - half, float(z) - half, 1.0f};
        v.color = {float(std::rand() % 256) / 255.0f, float(std::rand() % 256) / 255.0f,
                   float(std::rand() % 256) / 255.0f, 1.0f};
    }
    return model;
}

// Rolling land of n unit voxels: columns over a square, one to five high in gentle waves,
// filled column by column until n are placed, so steps and creases are everywhere.
VoxelModel Terrain(std::size_t n) {
    const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(n) / 2.6)));
    VoxelModel model;
    model.voxels.reserve(n);
    for (int x = 0; x < side && model.voxels.size() < n; ++x)
        for (int z = 0; z < side && model.voxels.size() < n; ++z) {
            const int height =
                1 + static_cast<int>(2.0 + 1.6 * std::sin(x * 0.21) + 1.4 * std::cos(z * 0.17));
            for (int y = 0; y < height && model.voxels.size() < n; ++y) {
                VoxelInstance v;
                v.position = {float(x - side / 2), float(y), float(z - side / 2), 1.0f};
                v.color = y + 1 == height ? glm::vec4(0.35f, 0.65f, 0.25f, 1.0f)
                                          : glm::vec4(0.5f, 0.38f, 0.25f, 1.0f);
                model.voxels.push_back(v);
            }
        }
    return model;
}

// What the model editor draws for a model of n/12 voxels: a wire cube of twelve
// lines around each, one of them magenta.
std::vector<std::array<glm::vec3, 3>> WireCubes(std::size_t lines) {
    std::vector<std::array<glm::vec3, 3>> out;
    const int side = static_cast<int>(std::ceil(std::cbrt(static_cast<double>(lines / 12))));
    for (std::size_t cube = 0; out.size() < lines; ++cube) {
        const glm::vec3 c(float(int(cube) % side) - side / 2.0f,
                          float(int(cube) / side % side) - side / 2.0f,
                          float(int(cube) / (side * side)) - side / 2.0f);
        const glm::vec3 colour = cube == 0 ? glm::vec3(1, 0, 1) : glm::vec3(1, 1, 1);
        for (int axis = 0; axis < 3 && out.size() < lines; ++axis)
            for (int corner = 0; corner < 4 && out.size() < lines; ++corner) {
                glm::vec3 a(corner & 1 ? 0.5f : -0.5f, corner & 2 ? 0.5f : -0.5f, -0.5f);
                std::swap(a[axis], a[2]);
                glm::vec3 b = a;
                b[axis] = 0.5f;
                out.push_back({c + a, c + b, colour});
            }
    }
    return out;
}

// Draws the lines while the frame's debug-draw message is handled: through the
// engine's drawer (collected, then one batch), or the way a drawer without a
// batch would, one immediate-mode line with matrix pushes per call.
class LineDrawer : public MessageListener {
  public:
    LineDrawer(MessageManager& messages, const GraphicsSystem& graphics,
               std::vector<std::array<glm::vec3, 3>> lines)
        : messages(messages), graphics(graphics), lines(std::move(lines)) {
        listener = new MessageListener::MessageListenerDerived<LineDrawer>(this);
        messages.AddListener(*this, 0);
    }
    ~LineDrawer() override { messages.RemoveListener(listener); }

    void HandleMessage(const MessagePointer& message) {
        if (message->id != MID_DebugDrawMessage || !enabled)
            return;
        if (batched) {
            for (const auto& line : lines)
                drawer.drawLine(btVector3(line[0].x, line[0].y, line[0].z),
                                btVector3(line[1].x, line[1].y, line[1].z),
                                btVector3(line[2].x, line[2].y, line[2].z));
            return;
        }
        const glm::mat4 view = graphics.GetCameraMatrix();
        const glm::mat4 projection = graphics.GetProjectionMatrix();
        glUseProgram(0);
        for (const auto& line : lines) {
            GLint mode = 0;
            glGetIntegerv(GL_MATRIX_MODE, &mode);
            glMatrixMode(GL_MODELVIEW);
            glPushMatrix();
            glLoadMatrixf(glm::value_ptr(view));
            glMatrixMode(GL_PROJECTION);
            glPushMatrix();
            glLoadMatrixf(glm::value_ptr(projection));
            glLineWidth(1.0f);
            glBegin(GL_LINES);
            glColor3f(line[2].r, line[2].g, line[2].b);
            glVertex3d(line[0].x, line[0].y, line[0].z);
            glVertex3d(line[1].x, line[1].y, line[1].z);
            glEnd();
            glLineWidth(1.0f);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
            glMatrixMode(static_cast<GLenum>(mode));
        }
    }

    bool batched = true;
    bool enabled = true;

  private:
    MessageManager& messages;
    const GraphicsSystem& graphics;
    std::vector<std::array<glm::vec3, 3>> lines;
    PhysicsDebugDrawer drawer;
};

// The orientation that turns the world so that a camera at `eye` looks at `target`.
glm::quat LookAt(glm::vec3 eye, glm::vec3 target) {
    return glm::conjugate(glm::quatLookAt(glm::normalize(target - eye), glm::vec3(0, 1, 0)));
}

// One scene drawn with the renderer's shortcuts off and on, alternately, so that whatever
// else runs on the machine weighs on both alike. Returns the median frame times.
std::pair<double, double> TimeShortcuts(GraphicsSystem& graphics, int frames, std::size_t& drawnOff,
                                        std::size_t& drawnOn) {
    std::vector<double> off, on;
    for (int i = 0; i <= frames; ++i) { // the first round warms up (and fills the caches)
        for (const bool plain : {true, false}) {
            graphics.plainVoxels = plain;
            const Clock::time_point start = Clock::now();
            graphics.Update(0.0f);
            const double ms =
                std::chrono::duration<double, std::milli>(Clock::now() - start).count();
            (plain ? drawnOff : drawnOn) = graphics.voxelInstances.size();
            if (i > 0)
                (plain ? off : on).push_back(ms);
        }
    }
    graphics.plainVoxels = false;
    return {Median(off), Median(on)};
}

// With `split`, the scene is timed again with the rasteriser discarding every primitive:
// what remains is the gather, the upload and the vertex side of the draw, and the
// difference is what rasterising and shading the pixels cost.
void CompareShortcuts(GraphicsSystem& graphics, const char* scene, int frames, bool split) {
    std::size_t drawnOff = 0, drawnOn = 0;
    const auto [offMs, onMs] = TimeShortcuts(graphics, frames, drawnOff, drawnOn);
    std::printf("scene %s off %.1f ms on %.1f ms ratio %.3f\n", scene, offMs, onMs, onMs / offMs);
    std::printf("    (%d frames each; %zu voxel records drawn off, %zu on)\n", frames, drawnOff,
                drawnOn);
    if (split) {
        glEnable(GL_RASTERIZER_DISCARD);
        const auto [offVertexMs, onVertexMs] = TimeShortcuts(graphics, frames, drawnOff, drawnOn);
        glDisable(GL_RASTERIZER_DISCARD);
        std::printf("    (without rasterising: off %.1f ms on %.1f ms; rasterising off %.1f ms "
                    "on %.1f ms)\n",
                    offVertexMs, onVertexMs, offMs - offVertexMs, onMs - onVertexMs);
    }
    std::fflush(stdout);
}

struct Result {
    std::size_t voxels;
    int frames;
    double engineMs;
    double rawMs;
};

} // namespace

int main(int argc, char** argv) {
    // --shortcuts: only the scenes with the renderer's shortcuts off and on.
    // --split: each of those scenes also timed without rasterising.
    // --lighting: only the village unlit against lit, with and without shadows.
    // --particles: only the village with and without live particles.
    const bool shortcutsOnly = argc > 1 && std::string(argv[1]) == "--shortcuts";
    const bool split = argc > 2 && std::string(argv[2]) == "--split";
    if (!std::getenv("DISPLAY")) {
        std::fprintf(stderr, "marrowvale_framebench needs a display; run it under xvfb-run\n");
        return 2;
    }
    sf::RenderWindow window(sf::VideoMode(kWidth, kHeight), "frame bench", sf::Style::None,
                            sf::ContextSettings(24, 8, 0));
    window.setActive(true);

    Core& core = Core::Instance();
    core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));
    GraphicsSystem& graphics = *core.GraphicsSystem_;
    std::fflush(stdout);
    graphics.Initialize();
    if (!graphics.glReady || graphics.voxelDataBuffer == 0)
        return 1;
    graphics.drawTweakBar = false;
    RawVoxelRenderer raw(core.GetResourcePath("Shaders/"));
    std::printf("GL: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    ObjectManager& om = *core.objectManager;
    const GameObject camera = om.NewObject();
    ObjectManager::AddComponent<TransformComponent>(camera);
    ObjectManager::AddComponent<CameraComponent>(camera)->SetActive(true);
    TransformComponent* eye = ObjectManager::GetComponent<TransformComponent>(camera);
    auto show = [&](VoxelModel* model, glm::vec3 position, float alpha) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = position;
        VoxelModelComponent* shown = ObjectManager::AddComponent<VoxelModelComponent>(obj);
        shown->model = model;
        shown->alpha = alpha;
        return obj;
    };

    // The sample game's village from its opening view.
    auto showVillage = [&]() {
        const std::string models = core.GetResourcePath("Models/");
        std::vector<GameObject> village = {
            show(graphics.GetModel(models + "ground.vxm"), {0, -1, 0}, 1.0f),
            show(graphics.GetModel(models + "house.vxm"), {-5, 0, -4}, 1.0f),
            show(graphics.GetModel(models + "tree.vxm"), {4, 0, -7}, 1.0f),
            show(graphics.GetModel(models + "tree.vxm"), {8, 0, -2}, 1.0f),
            show(graphics.GetModel(models + "tree.vxm"), {-10, 0, 5}, 1.0f),
            show(graphics.GetModel(models + "crystal.vxm"), {5, 0, 5}, 0.6f)};
        for (const glm::vec3 crate :
             {glm::vec3(-1, 0, 2), glm::vec3(-2, 0, 2), glm::vec3(-1.5f, 1, 2)}) {
            const GameObject obj = om.NewObject();
            ObjectManager::AddComponent<TransformComponent>(obj)->position = crate;
            ObjectManager::AddComponent<VoxelComponent>(obj)->color = {0.55f, 0.38f, 0.2f, 1};
            village.push_back(obj);
        }
        const float pitch = 20 * 3.14159265f / 360;
        eye->position = {0, 9, 24};
        eye->orientation = glm::quat(std::cos(pitch), std::sin(pitch), 0, 0);
        return village;
    };

    // What the renderer's shortcuts save: frames with them off and on. They run last: the
    // 100,000 objects of the scattered scene leave every component store that long, and
    // each pass over a store then walks all of its slots.
    auto compareShortcuts = [&]() {
        {
            // A solid block at the buffer's capacity, seen across a corner.
            VoxelModel block = Block(GraphicsSystem::kVoxelCapacity);
            const GameObject shown = show(&block, {0, 0, 0}, 1.0f);
            eye->position = {95, 80, 125};
            eye->orientation = LookAt(eye->position, {0, 0, 0});
            CompareShortcuts(graphics, "solid", 5, split);
            om.DeleteObject(shown);
            om.DelayedDestruction();
        }
        {
            std::vector<GameObject> village = showVillage();
            CompareShortcuts(graphics, "village", 30, split);
            for (const GameObject& obj : village)
                om.DeleteObject(obj);
            om.DelayedDestruction();
        }
        {
            // 100,000 single voxels strewn through a box 200 to 320 units ahead, all in view and
            // a few pixels each: the cost is in vertices and triangles, not in pixels.
            std::vector<GameObject> scattered;
            for (int i = 0; i < 100000; ++i) {
                const GameObject obj = om.NewObject();
                ObjectManager::AddComponent<TransformComponent>(obj)->position = {
                    float(std::rand() % 1200) / 10.0f - 60.0f,
                    float(std::rand() % 800) / 10.0f - 40.0f,
                    -float(std::rand() % 1200) / 10.0f - 200.0f};
                ObjectManager::AddComponent<VoxelComponent>(obj)->color = {
                    float(std::rand() % 256) / 255.0f, 0.5f, 0.3f, 1.0f};
                scattered.push_back(obj);
            }
            eye->position = {0, 0, 0};
            eye->orientation = glm::quat(1, 0, 0, 0);
            CompareShortcuts(graphics, "scattered", 9, split);
            for (const GameObject& obj : scattered)
                om.DeleteObject(obj);
            om.DelayedDestruction();
        }
    };

    // Frames of one scene unlit, lit (sun, ambient with corner occlusion, fog and sky)
    // without shadows and lit with the sun's shadows, in runs of one setting at a time, as a
    // game draws them; the frame right after a change is not timed. Switching the setting
    // every frame measured the switching as much as the setting: the village's shadowed
    // frames came out at 1.14 or at 1.50 of unlit ones by which setting went first. The
    // runs take turns, so drift hits all alike; `move` runs before every frame. The CPU time of all
    // the process's threads (the rasteriser's included) is kept beside the wall time: on a machine
    // shared with other work it is the steadier measure.
    struct Times {
        std::vector<double> wall, cpu;
        double Wall() const { return Median(wall); }
        double Cpu() const { return Median(cpu); }
    };
    auto timeRounds = [&](int frames, const std::function<void(int)>& move, Times& off, Times& lit,
                          Times& shadowed) {
        int step = 0;
        auto run = [&](bool on, bool shadows, Times& into, int count) {
            graphics.lighting = on;
            graphics.shadows = shadows;
            move(step++);
            graphics.Update(0.0f); // settles after the switch (and builds the lit programs)
            for (int i = 0; i < count; ++i) {
                move(step++);
                const double cpuStart = ProcessCpuMs();
                const Clock::time_point start = Clock::now();
                graphics.Update(0.0f);
                into.wall.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
                into.cpu.push_back(ProcessCpuMs() - cpuStart);
            }
        };
        constexpr int kTurns = 5;
        for (int turn = 0; turn < kTurns; ++turn) {
            const int count = frames / kTurns + (turn < frames % kTurns ? 1 : 0);
            run(false, false, off, count);
            run(true, false, lit, count);
            run(true, true, shadowed, count);
        }
        graphics.lighting = false;
        graphics.shadows = true;
    };
    // BM_Lighting/<scene> (lit without shadows against unlit) and BM_Shadows/<scene>
    // (with shadows against unlit and against lit), for a scene standing still.
    auto timeLighting = [&](const char* scene, int frames) {
        Times off, lit, shadowed;
        const std::uint64_t drawsBefore = graphics.ShadowMapDrawCount();
        timeRounds(
            frames, [](int) {}, off, lit, shadowed);
        std::printf("BM_Lighting/%s  %2d frames  off %7.2f ms  on %7.2f ms  ratio %.3f  "
                    "(CPU off %.2f ms on %.2f ms ratio %.3f; %zu voxel records)\n",
                    scene, frames, off.Wall(), lit.Wall(), lit.Wall() / off.Wall(), off.Cpu(),
                    lit.Cpu(), lit.Cpu() / off.Cpu(), graphics.voxelInstances.size());
        std::printf("BM_Shadows/%s/still  %2d frames  shadows %7.2f ms  ratio %.3f  (CPU ratio "
                    "%.3f; %.3f of lit without shadows; map drawn %llu times)\n",
                    scene, frames, shadowed.Wall(), shadowed.Wall() / off.Wall(),
                    shadowed.Cpu() / off.Cpu(), shadowed.Wall() / lit.Wall(),
                    static_cast<unsigned long long>(graphics.ShadowMapDrawCount() - drawsBefore));
        std::fflush(stdout);
    };
    // The village goes last: the scenes after it keep its camera, as they always did.
    auto compareLighting = [&]() {
        VoxelModel land = Terrain(100000);
        const GameObject shown = show(&land, {0, 0, 0}, 1.0f);
        eye->position = {0, 40, 90};
        eye->orientation = LookAt(eye->position, {0, 0, 10});
        timeLighting("terrain100000", 15);
        om.DeleteObject(shown);
        om.DelayedDestruction();

        std::vector<GameObject> village = showVillage();
        timeLighting("village", 90);
        // BM_Shadows/village/moving: the crates move every frame, which redraws the shadow
        // map each time.
        const std::size_t firstCrate = village.size() - 3;
        Times off, lit, moving;
        const std::uint64_t drawsBefore = graphics.ShadowMapDrawCount();
        timeRounds(
            60,
            [&](int i) {
                for (std::size_t c = firstCrate; c < village.size(); ++c)
                    ObjectManager::GetComponent<TransformComponent>(village[c])->position.x +=
                        i % 2 ? 0.25f : -0.2f;
            },
            off, lit, moving);
        std::printf("BM_Shadows/village/moving  60 frames  off %7.2f ms  shadows %7.2f ms  "
                    "ratio %.3f  (CPU ratio %.3f; map drawn %llu times)\n",
                    off.Wall(), moving.Wall(), moving.Wall() / off.Wall(), moving.Cpu() / off.Cpu(),
                    static_cast<unsigned long long>(graphics.ShadowMapDrawCount() - drawsBefore));
        std::fflush(stdout);
        for (const GameObject& obj : village)
            om.DeleteObject(obj);
        om.DelayedDestruction();
    };

    // BM_Occlusion/<model>: working out the corner occlusion of a 100,000-voxel model, then
    // frames that find it cached (the count of computations must not grow).
    auto timeOcclusion = [&]() {
        for (const bool terrain : {true, false}) {
            VoxelModel model = terrain ? Terrain(100000) : Block(100000);
            const char* name = terrain ? "terrain100000" : "block100000";
            std::vector<double> times;
            std::vector<std::uint64_t> levels;
            for (int i = 0; i <= 9; ++i) {
                const Clock::time_point start = Clock::now();
                VoxelOcclusionCache::Compute(model.voxels, levels);
                if (i > 0)
                    times.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            const GameObject shown = show(&model, {0, 0, 0}, 1.0f);
            graphics.lighting = true;
            graphics.Update(0.0f);
            const std::uint64_t first = graphics.voxelOcclusion.GetComputeCount();
            std::vector<double> frameTimes;
            for (int i = 0; i < 5; ++i) {
                const Clock::time_point start = Clock::now();
                graphics.Update(0.0f);
                frameTimes.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            const std::uint64_t later = graphics.voxelOcclusion.GetComputeCount();
            graphics.lighting = false;
            std::printf("BM_Occlusion/%s  compute %7.2f ms (median of 9)  then 5 unchanged "
                        "frames of %.2f ms: %llu computations during them\n",
                        name, Median(times), Median(frameTimes),
                        static_cast<unsigned long long>(later - first));
            std::fflush(stdout);
            om.DeleteObject(shown);
            om.DelayedDestruction();
        }
    };
    // BM_ParticleFrame: village frames with live particles (a sixtieth of a second each,
    // so they fly, land and settle as in a game) against the same frames without; and the
    // simulation's step alone, without drawing.
    auto compareParticles = [&]() {
        constexpr int kFrames = 30;
        constexpr float kStep = 1.0f / 60.0f;
        std::vector<GameObject> village = showVillage();
        auto medianFrame = [&]() {
            std::vector<double> times;
            for (int i = 0; i <= kFrames; ++i) {
                const Clock::time_point start = Clock::now();
                graphics.Update(kStep);
                if (i > 0) // the first frame warms up
                    times.push_back(
                        std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            return Median(times);
        };
        // Bursts spread over the village square, thrown up and falling back to the
        // ground plane, for longer than the bench runs.
        auto burst = [](std::size_t count, bool fade, int i) {
            ParticleBurst b;
            b.position = {float(i % 5) * 2.0f - 4.0f, 2.0f, float(i / 5 % 4) * 2.0f};
            b.count = static_cast<double>(count);
            b.colors = {{0.62f, 0.45f, 0.24f, 1}, {0.48f, 0.33f, 0.17f, 1}};
            b.speed = 4.0f;
            b.spread = 70.0f;
            b.lifetime = fade ? 20.0f : 1000.0f;
            b.fade = fade;
            return b;
        };
        core.PhysicsSystem_->makeGroundPlane = true;
        core.PhysicsSystem_->Initialize();
        const double none = medianFrame();
        std::printf("BM_ParticleFrame/village  %2d frames  no particles %7.2f ms\n", kFrames, none);
        for (const std::size_t live : {std::size_t(20000), ParticleSimulation::kCapacity}) {
            for (const bool fade : {false, true}) {
                graphics.Update(5000.0f); // the life of the last ones is over
                for (int i = 0; i < 20; ++i)
                    graphics.EmitParticles(burst(live / 20, fade, i));
                const double with = medianFrame();
                std::printf("BM_ParticleFrame/%zu%s  %2d frames  %7.2f ms  (+%.2f ms; %zu alive)\n",
                            live, fade ? "/fading" : "", kFrames, with, with - none,
                            graphics.ParticleCount());
                std::fflush(stdout);
            }
        }
        // For scale: a model of as many voxels of the same size, apart from one another
        // over the same square, drawn by the same pass.
        graphics.Update(5000.0f);
        VoxelModel spaced;
        spaced.voxels.resize(20000);
        for (int i = 0; i < 20000; ++i) {
            spaced.voxels[i].position = {float(i % 200) * 2.0f - 200.0f, 0, float(i / 200) * 2.0f,
                                         1};
            spaced.voxels[i].color = {0.62f, 0.45f, 0.24f, 1};
        }
        const GameObject model = show(&spaced, {0, 0.05f, 0}, 1.0f);
        ObjectManager::GetComponent<VoxelModelComponent>(model)->voxelScale = 0.1f;
        const double plain = medianFrame();
        std::printf("BM_ParticleFrame/20000 model voxels instead  %2d frames  %7.2f ms  "
                    "(+%.2f ms)\n",
                    kFrames, plain, plain - none);
        om.DeleteObject(model);
        om.DelayedDestruction();
        // The step alone: move, land and write the records of every particle.
        for (const std::size_t live : {std::size_t(20000), ParticleSimulation::kCapacity}) {
            ParticleSimulation simulation;
            for (int i = 0; i < 20; ++i)
                simulation.Emit(burst(live / 20, true, i), {0, -9.8f, 0}, true);
            std::vector<double> times;
            for (int i = 0; i < 200; ++i) {
                const Clock::time_point start = Clock::now();
                simulation.Update(kStep);
                times.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            }
            std::printf("BM_ParticleStep/%zu  200 steps  %.3f ms each\n", live, Median(times));
        }
        graphics.Update(5000.0f);
        for (const GameObject& obj : village)
            om.DeleteObject(obj);
        om.DelayedDestruction();
    };
    if (argc > 1 && std::string(argv[1]) == "--particles") {
        compareParticles();
        return 0;
    }
    if (shortcutsOnly) {
        compareShortcuts();
        return 0;
    }
    compareLighting();
    timeOcclusion();
    if (argc > 1 && std::string(argv[1]) == "--lighting")
        return 0;
    compareParticles();

    // The engine against bare GL doing the same work: the plain way, every voxel and face.
    graphics.plainVoxels = true;
    const GameObject shown = om.NewObject();
    ObjectManager::AddComponent<TransformComponent>(shown);
    VoxelModelComponent* component = ObjectManager::AddComponent<VoxelModelComponent>(shown);

    struct Plan {
        std::size_t voxels;
        int frames;
    };
    // Few frames for the large scenes: software GL needs over a second for each.
    const Plan plans[] = {{1000, 40}, {100000, 9}, {GraphicsSystem::kVoxelCapacity, 7}};
    std::vector<Result> results;
    for (const Plan& plan : plans) {
        VoxelModel model = Block(plan.voxels);
        component->model = &model;
        // Far enough back to see the whole block.
        const float side = std::ceil(std::cbrt(static_cast<float>(plan.voxels)));
        ObjectManager::GetComponent<TransformComponent>(camera)->position = {0, 0, side * 2.2f};

        graphics.Update(0.0f); // warm-up, and the records the baseline draws
        const std::vector<VoxelInstance> instances = graphics.voxelInstances;
        const glm::mat4 view = graphics.GetCameraMatrix();
        const glm::mat4 projection = graphics.GetProjectionMatrix();
        raw.Frame(instances, view, projection);

        std::vector<double> engineTimes, rawTimes;
        for (int i = 0; i < plan.frames; ++i) { // interleaved, so drift hits both alike
            Clock::time_point start = Clock::now();
            graphics.Update(0.0f);
            engineTimes.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            start = Clock::now();
            raw.Frame(instances, view, projection);
            rawTimes.push_back(
                std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        results.push_back({plan.voxels, plan.frames, Median(engineTimes), Median(rawTimes)});
        const Result& r = results.back();
        std::printf("%8zu voxels  %2d frames  engine %9.2f ms  raw GL %9.2f ms  ratio %.3f\n",
                    r.voxels, r.frames, r.engineMs, r.rawMs, r.engineMs / r.rawMs);
        std::fflush(stdout);
        component->model = nullptr;
    }
    graphics.plainVoxels = false;

    // BM_DebugLines/12000: one debug-draw message of 12,000 lines in an
    // otherwise empty frame, batched against one immediate-mode draw per line.
    {
        constexpr std::size_t kLines = 12000;
        constexpr int kFrames = 30;
        ObjectManager::GetComponent<TransformComponent>(camera)->position = {0, 0, 25};
        LineDrawer lines(*core.messageManager, graphics, WireCubes(kLines));
        std::vector<double> batchedTimes, immediateTimes, emptyTimes;
        auto time = [&](bool enabled, bool batched) {
            lines.enabled = enabled;
            lines.batched = batched;
            const Clock::time_point start = Clock::now();
            graphics.Update(0.0f);
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        };
        for (int i = 0; i <= kFrames; ++i) { // the first round warms up
            const double batched = time(true, true);
            const double immediate = time(true, false);
            const double empty = time(false, true);
            if (i > 0) {
                batchedTimes.push_back(batched);
                immediateTimes.push_back(immediate);
                emptyTimes.push_back(empty);
            }
        }
        const double batched = Median(batchedTimes), immediate = Median(immediateTimes),
                     empty = Median(emptyTimes);
        std::printf("BM_DebugLines/%zu  %2d frames  batched %9.2f ms  immediate %9.2f ms  "
                    "ratio %.3f  (frame without lines %.2f ms; lines alone %.2f vs %.2f ms)\n",
                    kLines, kFrames, batched, immediate, batched / immediate, empty,
                    batched - empty, immediate - empty);
    }

    // BM_SpritePass/1000: 1,000 sprites across 10 layers. The CPU time of the pass is what
    // the engine adds (sorting, corners, state, one draw call each); the time to glFinish
    // adds the software rasteriser's fill.
    {
        constexpr int kSprites = 1000;
        constexpr int kFrames = 40;
        Texture* gem = graphics.GetTexture(core.GetResourcePath("Textures/gem.png"));
        for (int i = 0; i < kSprites; ++i) {
            const GameObject obj = om.NewObject();
            ObjectManager::AddComponent<TransformComponent>(obj)->position = {
                float(std::rand() % kWidth) - kWidth / 2.0f,
                float(std::rand() % kHeight) - kHeight / 2.0f, 0.0f};
            SpriteComponent* sprite = ObjectManager::AddComponent<SpriteComponent>(obj);
            sprite->texture = gem;
            sprite->scale = {0.5f, 0.5f};
            sprite->alpha = 1.0f;
            sprite->angle = float(i % 360);
            sprite->z = static_cast<std::uint32_t>(std::rand() % 10);
        }
        // One texture for all, and two alternating between neighbours in draw order: the
        // driver pays for every change of texture.
        Texture* glow = graphics.GetTexture(core.GetResourcePath("Textures/glow.png"));
        for (const bool alternate : {false, true}) {
            int index = 0;
            ComponentFactory<SpriteComponent>::Instance().ForEachAttached(
                [&](SpriteComponent& sprite) {
                    sprite.texture = alternate && index++ % 2 ? glow : gem;
                });
            std::vector<double> cpuTimes, finishedTimes;
            for (int i = 0; i <= kFrames; ++i) {
                glFinish();
                const Clock::time_point start = Clock::now();
                DrawSpritePass(graphics.spriteProgram, kWidth, kHeight);
                const Clock::time_point submitted = Clock::now();
                glFinish();
                const Clock::time_point finished = Clock::now();
                if (i == 0)
                    continue; // warm-up
                cpuTimes.push_back(
                    std::chrono::duration<double, std::milli>(submitted - start).count());
                finishedTimes.push_back(
                    std::chrono::duration<double, std::milli>(finished - start).count());
            }
            std::printf("BM_SpritePass/%d  %s  %2d passes  CPU %7.3f ms (%.2f us a sprite)  "
                        "to glFinish %7.3f ms\n",
                        kSprites, alternate ? "two textures alternating" : "one texture", kFrames,
                        Median(cpuTimes), Median(cpuTimes) * 1000.0 / kSprites,
                        Median(finishedTimes));
            std::fflush(stdout);
        }
        om.ClearAllObjects();
    }

    // BM_TextDraw/100: 100 text components drawn over the frame as the window system
    // draws them, to glFinish.
    {
        constexpr int kTexts = 100;
        constexpr int kFrames = 40;
        for (int i = 0; i < kTexts; ++i) {
            const GameObject obj = om.NewObject();
            ObjectManager::AddComponent<TransformComponent>(obj)->position = {
                float(i % 5) * 240.0f - 480.0f, float(i / 5) * 38.0f - 370.0f, 0.0f};
            DrawTextComponent* text = ObjectManager::AddComponent<DrawTextComponent>(obj);
            text->text = "Score " + std::to_string(i * 137);
            text->fontSize = 22.0f;
            text->color = {1.0f, 1.0f, 0.8f, 1.0f};
            ObjectManager::InitializeObj(obj);
        }
        std::vector<double> times;
        for (int i = 0; i <= kFrames; ++i) {
            glFinish();
            const Clock::time_point start = Clock::now();
            DrawTextComponents(window, sf::Vector2f(0.0f, 0.0f), false);
            glFinish();
            if (i > 0)
                times.push_back(
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::printf("BM_TextDraw/%d  %2d frames  %7.3f ms (%.1f us a text)\n", kTexts, kFrames,
                    Median(times), Median(times) * 1000.0 / kTexts);
        om.ClearAllObjects();
    }

    // BM_TweakPanels/3: three panels of ten live floats and a button each, drawn on an
    // otherwise empty frame, against the same frame without panels.
    {
        constexpr int kPanels = 3, kFields = 10, kFrames = 30;
        static float values[kPanels][kFields] = {};
        AntBarSystem& bars = *core.AntBarSystem_;
        bars.Initialize();
        for (int p = 0; p < kPanels; ++p) {
            const std::string name = "bench " + std::to_string(p);
            core.BroadcastMessage(CreateMessage<RegisterAntBarMessage>(
                name, 220u, 300u, static_cast<std::uint32_t>(10 + 230 * p), 10u));
            for (int f = 0; f < kFields; ++f)
                core.BroadcastMessage(CreateMessage<AddVarMessage>(
                    name, &values[p][f], 12, "value " + std::to_string(f), ""));
            core.BroadcastMessage(CreateMessage<AddButtonMessage>(
                name, [](void*) {}, nullptr, "button", ""));
            core.BroadcastMessage(CreateMessage<TWDefineMessage>(name, "refresh=0"));
        }
        bars.Update(0.0f);
        std::vector<double> withTimes, withoutTimes;
        auto time = [&](bool panels) {
            graphics.drawTweakBar = panels;
            const Clock::time_point start = Clock::now();
            bars.Update(0.0f);
            graphics.Update(0.0f);
            // The window draws the panels over the game; this bench has no window system.
            if (panels)
                bars.Draw();
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        };
        for (int i = 0; i <= kFrames; ++i) {
            for (auto& panel : values)
                for (float& v : panel)
                    v += 0.25f;
            const double with = time(true), without = time(false);
            if (i > 0) {
                withTimes.push_back(with);
                withoutTimes.push_back(without);
            }
        }
        const double with = Median(withTimes), without = Median(withoutTimes);
        std::printf("BM_TweakPanels/%d  %2d frames  with panels %7.2f ms  without %7.2f ms  "
                    "panels alone %.2f ms\n",
                    kPanels, kFrames, with, without, with - without);
    }

    // BM_EditorFrame/2000: the model editor with a 2,000-voxel model, one voxel selected:
    // the editor's update, the physics step and the drawn frame, whose debug-draw message
    // brings a wire cube for every voxel. Timed again with the editor's lines gone (the
    // same objects, the editor cleaned up), to show what the wire cubes cost.
    {
        constexpr int kVoxels = 2000, kFrames = 30, kSide = 13;
        om.ClearAllObjects();
        core.PhysicsSystem_->Initialize();
        ModelEditor& editor = ModelEditor::Instance();
        editor.Initialize();
        for (int i = 0; i < kVoxels; ++i)
            editor.GetDocument().CreateVoxel(glm::vec3(i % kSide - kSide / 2, i / (kSide * kSide),
                                                       i / kSide % kSide - kSide / 2),
                                             glm::vec4(0.2f, 0.6f, 0.3f, 1.0f));
        editor.GetDocument().Select(0);
        graphics.drawTweakBar = false;
        auto frame = [&] {
            const Clock::time_point start = Clock::now();
            editor.Update(1.0f / 60.0f);
            core.PhysicsSystem_->Update(1.0f / 60.0f);
            graphics.Update(1.0f / 60.0f);
            return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        };
        std::vector<double> withLines, withoutLines;
        for (int i = 0; i <= kFrames; ++i)
            if (const double ms = frame(); i > 0)
                withLines.push_back(ms);
        editor.Cleanup();
        for (int i = 0; i <= kFrames; ++i)
            if (const double ms = frame(); i > 0)
                withoutLines.push_back(ms);
        std::printf("BM_EditorFrame/%d  %2d frames  %7.2f ms with its wire cubes (%d lines), "
                    "%7.2f ms without them\n",
                    kVoxels, kFrames, Median(withLines), kVoxels * 12 + 4, Median(withoutLines));
        om.ClearAllObjects();
    }
    compareShortcuts();
    return 0;
}
