#include <algorithm>
#include <cmath>
#include <string>

#include <SFML/Graphics/Image.hpp>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "graphics/TransformComponent.h"
#include "messaging/MessageIdLog.h"
#include "script/ScriptTestSupport.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelTestSupport.h"

namespace {

class GraphicsRender : public GraphicsTest {
  protected:
    VoxelComponent* Voxel(glm::vec3 position, glm::vec4 color) {
        VoxelComponent* voxel = ObjectManager::AddComponent<VoxelComponent>(Object(position));
        voxel->color = color;
        return voxel;
    }
    CameraComponent* Camera(glm::vec3 position) {
        CameraComponent* camera = ObjectManager::AddComponent<CameraComponent>(Object(position));
        camera->active = true;
        return camera;
    }
};

} // namespace

TEST_F(GraphicsRender, OneFrameFromInitializationOnCamerasSeeThroughVoxelsCapacityAndState) {
    // Before Initialize a size is only stored and textures only measured.
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(80u, 60u));
    EXPECT_EQ(glm::uvec2(graphics.viewportWidth, graphics.viewportHeight), glm::uvec2(80, 60));
    EXPECT_EQ(graphics.voxelDataBuffer, 0u);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(glm::ivec2(viewport[2], viewport[3]), glm::ivec2(80, 60));

    const TempFolder dir;
    const std::string file = (dir.path / "grid.png").string();
    const std::string missing = (dir.path / "none.png").string();
    sf::Image image;
    image.create(2, 2, sf::Color::Black);
    image.setPixel(0, 0, sf::Color::Red); // top left
    image.setPixel(1, 0, sf::Color::Green);
    ASSERT_TRUE(image.saveToFile(file));

    // Asked for before GL is up: measured now, uploaded by Initialize.
    Texture* texture = graphics.GetTexture(file);
    EXPECT_EQ(texture->name, 0u);
    EXPECT_EQ(texture->width + texture->height, 4u);
    Initialize();
    ASSERT_NE(graphics.voxelDataBuffer, 0u);
    EXPECT_NE(texture->name, 0u);
    EXPECT_EQ(graphics.GetTexture(file), texture);
    unsigned char texels[2 * 2 * 4] = {};
    glBindTexture(GL_TEXTURE_2D, texture->name);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels);
    EXPECT_EQ(texels[0], 255);                   // texel (0, 0): red
    EXPECT_EQ(texels[4 + 1], 255);               // texel (1, 0): green
    EXPECT_EQ(texels[8 + 0] + texels[8 + 1], 0); // second row: black

    Texture* failed = graphics.GetTexture(missing);
    ASSERT_TRUE(image.saveToFile(missing));
    EXPECT_EQ(graphics.GetTexture(missing), failed) << "a failure is cached, not retried";
    EXPECT_EQ(failed->name, 0u);
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));

    // The highest active attached camera wins; no camera means the identity.
    Voxel({0, 0, 10}, {1, 0, 0, 1});  // seen from the first camera
    Voxel({20, 0, 10}, {0, 1, 0, 1}); // seen from the second
    Voxel({0, 0, -5}, {0, 0, 1, 1});  // seen from the origin along -z
    CameraComponent* first = Camera({0, 0, 15});
    CameraComponent* second = Camera({20, 0, 15});

    Frame();
    EXPECT_GT(Centre().g, 100);
    ObjectManager::RemoveComponent<CameraComponent>(second->owner);
    second->active = true; // a detached camera is never chosen
    Frame();
    EXPECT_GT(Centre().r, 100);
    first->active = false;
    Frame();
    EXPECT_GT(Centre().b, 100);
    EXPECT_EQ(graphics.GetCameraMatrix(), glm::mat4(1.0f));

    // A see-through voxel blends over the opaque one, and none is drawn past the capacity.
    om.ClearAllObjects();
    Camera({0, 0, 5});
    // Gathered first, yet drawn after the opaque voxel behind it.
    VoxelComponent* glass = Voxel({0, 0, 2}, {0, 0, 1, 0.5f});
    VoxelComponent* wall = Voxel({0, 0, 0}, {1, 0, 0, 1});

    // The shader's lighting of one face, measured with each voxel drawn opaque alone.
    glass->color.a = 1.0f;
    wall->color.a = 0.0f; // see-through, sorted behind: the opaque glass hides it
    Frame();
    const glm::ivec4 blue = Centre();
    glass->color.a = 0.0f;
    wall->color.a = 1.0f;
    Frame();
    const glm::ivec4 red = Centre();
    ASSERT_GT(blue.b, 100);
    ASSERT_GT(red.r, 100);

    glass->color.a = 0.5f;
    Frame();
    const glm::ivec4 blend = Centre();
    EXPECT_NEAR(blend.r, red.r / 2, 2);
    EXPECT_EQ(blend.g, 0);
    EXPECT_NEAR(blend.b, blue.b / 2, 2);

    // No voxel is drawn past the capacity, to the voxel. The wall stays; everything else sits
    // behind the camera: at capacity these cost vertex work only.
    VoxelModel crowd;
    crowd.voxels.assign(GraphicsSystem::kVoxelCapacity, Cell({0, 0, 50}, {0, 1, 0, 1}));
    ObjectManager::AddComponent<VoxelModelComponent>(Object({}))->model = &crowd;
    ObjectManager::RemoveComponent<VoxelComponent>(glass->owner);

    testing::internal::CaptureStderr(); // what is said is checked with the voxel shortcuts
    Frame();
    testing::internal::GetCapturedStderr();
    const glm::ivec4 over = Centre();
    EXPECT_EQ(over.r + over.g + over.b, 0);

    crowd.voxels.pop_back(); // exactly the capacity
    Frame();
    EXPECT_GT(Centre().r, 100);

    // The frame draws with its own state, restores the caller's and follows the size.
    om.ClearAllObjects();
    MessageIdLog messages(*core.messageManager);
    CameraComponent* camera = Camera({0, 0, 5});
    Voxel({0, 0, 0}, {1, 0, 0, 1});
    // The caller's state: the frame must draw without it and leave it as it was.
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
    EXPECT_GT(Centre().r, 100);
    EXPECT_EQ(Centre().g + Centre().b, 0);
    EXPECT_EQ(Pixel(2, 2), glm::ivec4(0)) << "cleared to (0, 0, 0, 0)";
    auto get = [](GLenum name) {
        GLint value = 0;
        glGetIntegerv(name, &value);
        return value;
    };
    EXPECT_EQ(GLuint(get(GL_VERTEX_ARRAY_BINDING)), array);
    EXPECT_EQ(GLuint(get(GL_ARRAY_BUFFER_BINDING)), buffer);
    EXPECT_EQ(GLuint(get(GL_CURRENT_PROGRAM)), program);
    EXPECT_EQ(get(GL_DEPTH_FUNC), GL_ALWAYS);
    EXPECT_EQ(get(GL_ACTIVE_TEXTURE), GL_TEXTURE1);
    EXPECT_FALSE(glIsEnabled(GL_CULL_FACE) || glIsEnabled(GL_BLEND));

    // A new size rebuilds the voxel store; the voxel is then at the centre of the left half.
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth / 2, kHeight));
    Frame();
    EXPECT_GT(Pixel(kWidth / 4, kHeight / 2).r, 100);
    EXPECT_EQ(Pixel(kWidth * 3 / 4, kHeight / 2).r, 0);

    graphics.drawing = false;
    Frame();
    EXPECT_EQ(Pixel(kWidth / 4, kHeight / 2), glm::ivec4(0)) << "not drawing: a cleared frame";
    EXPECT_EQ(std::count(messages.ids.begin(), messages.ids.end(), MID_DebugDrawMessage), 3)
        << "debug drawing is offered in every frame";

    // A background colour, and a camera turned by LookAt from above and aside: the voxel is
    // on its line of sight, at the centre.
    graphics.drawing = true;
    graphics.clearColor = {0.25f, 0.5f, 1.0f, 1.0f};
    core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kWidth, kHeight));
    TransformComponent* eye = ObjectManager::GetComponent<TransformComponent>(camera->owner);
    eye->position = {6, 4, 8};
    eye->LookAt({0, 0, 0}, {0, 1, 0});
    const glm::vec4 seen = camera->GetMatrix() * glm::vec4(0, 0, 0, 1);
    EXPECT_NEAR(seen.x, 0.0f, 1e-5f);
    EXPECT_NEAR(seen.y, 0.0f, 1e-5f);
    EXPECT_NEAR(seen.z, -std::sqrt(116.0f), 1e-4f) << "straight ahead, down -z";
    const glm::vec4 above = camera->GetMatrix() * glm::vec4(0, 1, 0, 1);
    EXPECT_GT(above.y, 0.0f) << "up stays up on screen";
    Frame();
    EXPECT_GT(Centre().r, 100);
    EXPECT_EQ(Centre().b, 0);
    const glm::ivec4 corner = Pixel(2, 2);
    EXPECT_NEAR(corner.r, 64, 1);
    EXPECT_NEAR(corner.g, 128, 1);
    EXPECT_EQ(corner.b, 255);
    // A target on the eye, or an up along the sight, leaves the orientation alone.
    const glm::quat kept = eye->orientation;
    eye->LookAt(eye->position, {0, 1, 0});
    eye->LookAt({0, 0, 0}, {-6, -4, -8});
    eye->LookAt({0, 0, 0}, {0, 0, 0});
    EXPECT_EQ(eye->orientation, kept);
}
