#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

#include <GL/glew.h>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <gtest/gtest.h>

#include "core/Core.h"
#include "graphics/CameraComponent.h"
#include "graphics/GlContext.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"

namespace {

constexpr unsigned kWidth = 160;
constexpr unsigned kHeight = 120;

struct Rgba {
    int r, g, b, a;
};

// Counts the debug-draw broadcasts of the frames.
class DebugDrawWatcher : public MessageListener {
  public:
    explicit DebugDrawWatcher(MessageManager& messages) : messages(messages) {
        listener = new MessageListener::MessageListenerDerived<DebugDrawWatcher>(this);
        messages.AddListener(*this, 0);
    }
    ~DebugDrawWatcher() override { messages.RemoveListener(listener); }
    void HandleMessage(const MessagePointer& message) {
        if (message->id == MID_DebugDrawMessage)
            ++count;
    }
    MessageManager& messages;
    int count = 0;
};

// The engine's graphics system drawing into a real window under the test display. Pixels
// are read back before anything presents the frame.
class GraphicsRender : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY"))
            GTEST_SKIP() << "no DISPLAY; run under xvfb-run";
        display = HoldDisplay();
        ASSERT_NE(display, nullptr) << "cannot connect to display " << std::getenv("DISPLAY");
        window =
            std::make_unique<sf::RenderWindow>(sf::VideoMode(kWidth, kHeight), "test",
                                               sf::Style::Default, sf::ContextSettings(24, 8, 0));
        ASSERT_TRUE(window->setActive(true));
        core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
        core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));
    }

    void TearDown() override {
        window.reset();
        if (display)
            XCloseDisplay(display);
    }

    void Initialize() {
        testing::internal::CaptureStdout(); // shader build reports
        graphics.Initialize();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(graphics.glReady);
        ASSERT_NE(graphics.voxelDataBuffer, 0u);
    }

    void Frame() {
        graphics.Update(0.0f);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    Rgba Pixel(int x, int y) {
        unsigned char p[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }
    Rgba Centre() { return Pixel(kWidth / 2, kHeight / 2); }

    GameObject Object(glm::vec3 position) {
        const GameObject obj = om.NewObject();
        ObjectManager::AddComponent<TransformComponent>(obj)->position = position;
        return obj;
    }
    VoxelComponent* Voxel(glm::vec3 position, glm::vec4 color) {
        VoxelComponent* voxel = ObjectManager::AddComponent<VoxelComponent>(Object(position));
        voxel->color = color;
        return voxel;
    }
    CameraComponent* Camera(glm::vec3 position, bool active = true) {
        CameraComponent* camera = ObjectManager::AddComponent<CameraComponent>(Object(position));
        camera->active = active;
        return camera;
    }

    Core& core = Core::Instance();
    GraphicsSystem& graphics = *core.GraphicsSystem_;
    ObjectManager& om = *core.objectManager;
    Display* display = nullptr;
    std::unique_ptr<sf::RenderWindow> window;
};

void ExpectNear(const Rgba& actual, const Rgba& expected, int tolerance = 2) {
    EXPECT_NEAR(actual.r, expected.r, tolerance);
    EXPECT_NEAR(actual.g, expected.g, tolerance);
    EXPECT_NEAR(actual.b, expected.b, tolerance);
}

} // namespace

TEST_F(GraphicsRender, OpaqueVoxelFillsTheCentreAndNothingElse) {
    Initialize();
    Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 0, 0, 1});
    Frame();
    const Rgba centre = Centre();
    EXPECT_GT(centre.r, 100);
    EXPECT_EQ(centre.g + centre.b, 0);
    const Rgba corner = Pixel(2, 2);
    EXPECT_EQ(corner.r + corner.g + corner.b + corner.a, 0) << "cleared to (0, 0, 0, 0)";
}

TEST_F(GraphicsRender, SeeThroughVoxelBlendsOverTheOpaqueOneBehindIt) {
    Initialize();
    Camera({0, 0, 5});
    // Gathered first, yet drawn after the opaque voxel behind it.
    VoxelComponent* glass = Voxel({0, 0, 2}, {0, 0, 1, 0.5f});
    VoxelComponent* wall = Voxel({0, 0, 0}, {1, 0, 0, 1});

    // The shader's lighting of one face, measured with each voxel drawn opaque alone.
    glass->color.a = 1.0f;
    wall->color.a = 0.0f; // see-through, sorted behind: the opaque glass hides it
    Frame();
    const Rgba blue = Centre();
    glass->color.a = 0.0f;
    wall->color.a = 1.0f;
    Frame();
    const Rgba red = Centre();
    ASSERT_GT(blue.b, 100);
    ASSERT_GT(red.r, 100);

    glass->color.a = 0.5f;
    Frame();
    ExpectNear(Centre(), {red.r / 2, 0, blue.b / 2, 0});
}

TEST_F(GraphicsRender, NoVoxelIsDrawnPastTheCapacityAndThatIsSaidOnce) {
    Initialize();
    EXPECT_EQ(graphics.VoxelCapacity(), GraphicsSystem::kVoxelCapacity);
    Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 0, 0, 1});
    // Everything else sits behind the camera: at capacity these cost vertex work only.
    VoxelModel crowd;
    VoxelInstance behind;
    behind.color = {0, 1, 0, 1};
    behind.position = {0, 0, 50, 1};
    crowd.voxels.assign(GraphicsSystem::kVoxelCapacity, behind);
    ObjectManager::AddComponent<VoxelModelComponent>(Object({}))->model = &crowd;

    testing::internal::CaptureStderr();
    Frame();
    const Rgba over = Centre();
    Frame();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(over.r + over.g + over.b, 0);
    EXPECT_NE(said.find("699051 voxels"), std::string::npos) << said;
    EXPECT_EQ(said.find("GraphicsSystem:"), said.rfind("GraphicsSystem:")) << "said once: " << said;

    crowd.voxels.pop_back(); // exactly the capacity
    Frame();
    EXPECT_GT(Centre().r, 100);
}

TEST_F(GraphicsRender, HighestActiveCameraWinsAndNoCameraMeansIdentity) {
    Initialize();
    Voxel({0, 0, 10}, {1, 0, 0, 1});  // seen from the first camera
    Voxel({20, 0, 10}, {0, 1, 0, 1}); // seen from the second
    Voxel({0, 0, -5}, {0, 0, 1, 1});  // seen from the origin along -z
    CameraComponent* first = Camera({0, 0, 15});
    CameraComponent* second = Camera({20, 0, 15});

    Frame();
    EXPECT_GT(Centre().g, 100);
    EXPECT_EQ(graphics.GetCameraMatrix(), second->GetMatrix());
    second->active = false;
    Frame();
    EXPECT_GT(Centre().r, 100);
    first->active = false;
    Frame();
    EXPECT_GT(Centre().b, 100);
    EXPECT_EQ(graphics.GetCameraMatrix(), glm::mat4(1.0f));
}

TEST_F(GraphicsRender, NotDrawingClearsTheFrameButStillBroadcastsDebugDraw) {
    Initialize();
    DebugDrawWatcher watcher(*core.messageManager);
    Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 1, 1, 1});
    Frame();
    EXPECT_GT(Centre().r, 0);
    graphics.drawing = false;
    Frame();
    const Rgba centre = Centre();
    EXPECT_EQ(centre.r + centre.g + centre.b + centre.a, 0);
    EXPECT_EQ(watcher.count, 2);
}

TEST_F(GraphicsRender, FrameLeavesTheCallersGlStateAsItFoundIt) {
    Initialize();
    Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 0, 0, 1});
    GLuint array = 0, buffer = 0;
    glGenVertexArrays(1, &array);
    glGenBuffers(1, &buffer);
    glBindVertexArray(array);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glDisable(GL_CULL_FACE);
    glDisable(GL_BLEND);
    glDepthFunc(GL_ALWAYS);
    glActiveTexture(GL_TEXTURE1);
    const GLuint program = graphics.spriteProgram.GetProgram();
    glUseProgram(program);

    Frame();
    EXPECT_GT(Centre().r, 100) << "drawn with the engine's own state";
    GLint value = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &value);
    EXPECT_EQ(GLuint(value), array);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &value);
    EXPECT_EQ(GLuint(value), buffer);
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(GLuint(value), program);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_ALWAYS);
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
}

TEST_F(GraphicsRender, VideoSizeChangeBeforeInitializeOnlyStoresTheSize) {
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(80u, 60u));
    EXPECT_EQ(graphics.viewportWidth, 80u);
    EXPECT_EQ(graphics.viewportHeight, 60u);
    EXPECT_FALSE(graphics.glReady);
    EXPECT_EQ(graphics.voxelDataBuffer, 0u);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 80);
    EXPECT_EQ(viewport[3], 60);

    // After start-up a change rebuilds the voxel store and the frame follows the new size:
    // the voxel is then at the centre of the left half.
    Initialize();
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth / 2, kHeight));
    EXPECT_NE(graphics.voxelDataBuffer, 0u);
    Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 0, 0, 1});
    Frame();
    EXPECT_GT(Pixel(kWidth / 4, kHeight / 2).r, 100);
    EXPECT_EQ(Pixel(kWidth * 3 / 4, kHeight / 2).r, 0);
}

TEST_F(GraphicsRender, TexturesAreCachedWithTheTopRowAtTZero) {
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / ("marrowvale-tex-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "grid.png").string();
    sf::Image image;
    image.create(2, 2, sf::Color::Black);
    image.setPixel(0, 0, sf::Color::Red); // top left
    image.setPixel(1, 0, sf::Color::Green);
    ASSERT_TRUE(image.saveToFile(file));

    // Asked for before GL is up: measured now, uploaded by Initialize.
    Texture* early = graphics.GetTexture(file);
    EXPECT_EQ(early->name, 0u);
    EXPECT_EQ(early->width, 2u);
    Initialize();
    EXPECT_NE(early->name, 0u);

    const std::string missing = (dir / "missing.png").string();
    Texture* failed = graphics.GetTexture(missing);
    EXPECT_EQ(failed->name, 0u);
    EXPECT_EQ(failed->width, 0u);
    EXPECT_EQ(failed->height, 0u);
    EXPECT_EQ(failed->fileName, missing);
    ASSERT_TRUE(image.saveToFile(missing));
    EXPECT_EQ(graphics.GetTexture(missing), failed) << "a failure is cached, not retried";
    EXPECT_EQ(failed->name, 0u);

    Texture* texture = graphics.GetTexture(file);
    EXPECT_EQ(texture, early);
    EXPECT_EQ(texture->height, 2u);
    EXPECT_EQ(texture->fileName, file);
    unsigned char texels[2 * 2 * 4] = {};
    glBindTexture(GL_TEXTURE_2D, texture->name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ(texels[0], 255);                   // texel (0, 0): red
    EXPECT_EQ(texels[4 + 1], 255);               // texel (1, 0): green
    EXPECT_EQ(texels[8 + 0] + texels[8 + 1], 0); // second row: black

    std::filesystem::remove_all(dir);
}
