// Frame cost of the engine's voxel rendering against a minimal GL program doing the same
// work: the same instance records, shaders, matrices and GL state, one buffer upload and
// one instanced draw per frame. Prints median frame times and their ratio per scene size.
// Needs a display (run under xvfb-run on a headless machine).

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <GL/glew.h>
#include <SFML/Graphics/RenderWindow.hpp>
#include <glm/gtc/type_ptr.hpp>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "objects/ObjectManager.h"
#include "voxels/CubeGeometry.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

constexpr unsigned kWidth = 1280;
constexpr unsigned kHeight = 800;

using Clock = std::chrono::steady_clock;

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

struct Result {
    std::size_t voxels;
    int frames;
    double engineMs;
    double rawMs;
};

} // namespace

int main() {
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
    return 0;
}
