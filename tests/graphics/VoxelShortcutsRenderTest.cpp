#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

#include "graphics/CameraComponent.h"
#include "graphics/GraphicsTestSupport.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "voxels/VoxelModelComponent.h"
#include "voxels/VoxelTestSupport.h"

namespace {

constexpr unsigned kFrameWidth = 480;
constexpr unsigned kFrameHeight = 300;

float Random01() {
    return float(std::rand() % 1000) / 999.0f;
}

// Every frame is drawn twice, the plain way and with the renderer's shortcuts (enclosed
// voxels left out, only the faces towards the camera, see-through voxels sorted), and the
// two pictures must agree to the last bit.
class VoxelShortcuts : public InitializedGraphicsTest {
  protected:
    void SetUp() override {
        InitializedGraphicsTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // A frame larger than the test window, drawn off screen with a depth buffer like
        // the window's.
        glGenFramebuffers(1, &framebuffer);
        glGenRenderbuffers(2, renderbuffers);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kFrameWidth, kFrameHeight);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, kFrameWidth, kFrameHeight);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffers[0]);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER,
                                  renderbuffers[1]);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));
        core.BroadcastMessage(CreateMessage<VideoSizeChangeMessage>(kFrameWidth, kFrameHeight));
        NewScene();
    }

    void NewScene() {
        om.ClearAllObjects();
        camera = Object({0, 0, 0});
        ObjectManager::AddComponent<CameraComponent>(camera)->SetActive(true);
    }

    std::vector<glm::u8vec4> Draw(bool plain) {
        graphics.plainVoxels = plain;
        graphics.Update(0.0f);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return Pixels(kFrameWidth, kFrameHeight);
    }

    // Compares both ways from a camera place; returns how many records the shortcuts drew.
    std::size_t Compare(const std::string& scene, glm::vec3 eye, glm::quat turn) {
        TransformComponent* place = ObjectManager::GetComponent<TransformComponent>(camera);
        if (place == nullptr)
            return 0;
        place->position = eye;
        place->orientation = turn;
        const std::vector<glm::u8vec4> plain = Draw(true);
        const std::size_t plainCount = graphics.voxelInstances.size();
        const std::vector<glm::u8vec4> fast = Draw(false);
        std::size_t differing = 0, covered = 0;
        for (std::size_t i = 0; i < plain.size(); ++i) {
            differing += plain[i] != fast[i];
            covered += plain[i].r + plain[i].g + plain[i].b != 0;
        }
        EXPECT_EQ(differing, 0u) << scene;
        EXPECT_GT(covered, plain.size() / 10) << scene << ": too little on screen to prove much";
        EXPECT_LE(graphics.voxelInstances.size(), plainCount) << scene;
        return graphics.voxelInstances.size();
    }

    VoxelModelComponent* Show(VoxelModel* model, glm::vec3 position, float alpha = 1.0f) {
        VoxelModelComponent* shown =
            ObjectManager::AddComponent<VoxelModelComponent>(Object(position));
        shown->model = model;
        shown->alpha = alpha;
        return shown;
    }

    GameObject camera;
    GLuint framebuffer = 0;
    GLuint renderbuffers[2] = {};
};

glm::quat LookDown(float pitchDegrees, float yawDegrees) {
    return glm::angleAxis(glm::radians(pitchDegrees), glm::vec3(1, 0, 0)) *
           glm::angleAxis(glm::radians(yawDegrees), glm::vec3(0, 1, 0));
}

} // namespace

TEST_F(VoxelShortcuts, EveryKindOfSceneLooksTheSameWithAndWithoutThemAndTheLimitCountsWhatIsDrawn) {
    std::srand(12);
    const std::string models = std::string(MARROWVALE_SOURCE_DIR) + "/resource/Models/";

    // The sample village, as the sample game builds it.
    Show(graphics.GetModel(models + "ground.vxm"), {0, -1, 0});
    Show(graphics.GetModel(models + "house.vxm"), {-5, 0, -4});
    for (glm::vec3 tree : {glm::vec3(4, 0, -7), glm::vec3(8, 0, -2), glm::vec3(-10, 0, 5)})
        Show(graphics.GetModel(models + "tree.vxm"), tree);
    Show(graphics.GetModel(models + "crystal.vxm"), {5, 0, 5}, 0.6f);
    for (glm::vec3 crate : {glm::vec3(-1, 0, 2), glm::vec3(-2, 0, 2), glm::vec3(-1.5f, 1, 2)})
        ObjectManager::AddComponent<VoxelComponent>(Object(crate))->color = {0.55f, 0.38f, 0.2f, 1};
    const float pitch = 20 * 3.14159265f / 360;
    Compare("village", {0, 9, 24}, glm::quat(std::cos(pitch), std::sin(pitch), 0, 0));
    Compare("village-low", {-3, 2, 9}, LookDown(8, 25));
    NewScene();

    // A solid block of 64 on each side: only its shell can be seen.
    VoxelModel block = Block(64, glm::vec3(-32));
    for (VoxelInstance& voxel : block.voxels)
        voxel.color = {Random01(), Random01(), Random01(), 1};
    Show(&block, {0, 0, 0});
    EXPECT_EQ(Compare("block", {70, 60, 90}, LookDown(28, -38)), 64u * 64 * 64 - 62u * 62 * 62);
    Compare("block-close", {10, 4, 45}, LookDown(5, -10));
    NewScene();

    // Single voxels scattered around the camera, some of them beside it.
    for (int i = 0; i < 3000; ++i) {
        const GameObject obj =
            Object({Random01() * 60 - 30, Random01() * 40 - 20, Random01() * 60 - 30});
        // A third turned; a sixth by quaternions far from unit length, which also scale.
        const glm::quat turn(Random01() - 0.5f, Random01() - 0.5f, Random01() - 0.5f, Random01());
        if (i % 3 == 0)
            ObjectManager::GetComponent<TransformComponent>(obj)->orientation =
                i % 2 ? glm::normalize(turn) : turn * (0.6f + Random01());
        ObjectManager::AddComponent<VoxelComponent>(obj)->color = {Random01(), Random01(),
                                                                   Random01(), 1};
    }
    Compare("scattered", {0, 0, 0}, LookDown(10, 30));
    Compare("scattered-outside", {0, 10, 70}, LookDown(8, 0));
    NewScene();

    // A turned model with an enclosed core and a notch cut into it, a quaternion a little
    // off unit length as scripts make them, and an origin offset. Under it a see-through
    // model with two voxels in each place (their order shows in the blend) over opaque ones.
    VoxelModel notched;
    for (int z = -6; z <= 6; ++z)
        for (int y = -6; y <= 6; ++y)
            for (int x = -6; x <= 6; ++x)
                if (!(x > 2 && y > 2))
                    notched.voxels.push_back(Cell({x, y, z}, {Random01(), 0.6f, 0.3f, 1}));
    VoxelModelComponent* turned = Show(&notched, {-4, 3, -12});
    turned->oriented = true;
    turned->originOffset = {1, 0.5f, 0};
    ObjectManager::GetComponent<TransformComponent>(turned->owner)->orientation =
        glm::quat(0.8f, 0.3f, 0.4f, 0.33f);
    VoxelModel glass;
    for (int z = -3; z <= 3; ++z)
        for (int x = -3; x <= 3; ++x)
            for (int copy = 0; copy < 2; ++copy)
                glass.voxels.push_back(Cell({x, 0, z}, {copy, 0.3f, 1 - copy, 0.8f}));
    Show(&glass, {6, -2, -4}, 0.5f);
    Show(&notched, {6, -10, -4});
    ObjectManager::AddComponent<VoxelComponent>(Object({6, -1, -4}))->color = {1, 1, 0, 0.4f};
    VoxelModel faint; // drawn with the opaque voxels, but its own alpha blends
    for (int x = 0; x < 4; ++x)
        faint.voxels.push_back(Cell({x, 0, 0}, {0.2f, 1, 0.2f, x % 2 ? 1.0f : 0.45f}));
    Show(&faint, {-1, 2, 0});
    const std::size_t drawn = Compare("turned-and-see-through", {2, 8, 14}, LookDown(25, -12));
    EXPECT_LT(drawn, 2 * notched.voxels.size() + glass.voxels.size() + 1)
        << "the enclosed voxels of both opaque copies are left out";
    NewScene();

    // The buffer's limit counts what is drawn: a block of 90^3 = 729,000 voxels is too many
    // drawn the plain way (nothing of it appears, said once) but fits once its core is left
    // out, and growing it by one voxel through MarkChanged is seen at the next frame.
    VoxelModel huge = Block(90, glm::vec3(-45), {0.2f, 0.4f, 0.9f, 1});
    Show(&huge, {0, 0, 0});
    ObjectManager::GetComponent<TransformComponent>(camera)->position = {0, 0, 160};

    testing::internal::CaptureStderr();
    const std::vector<glm::u8vec4> plain = Draw(true);
    Draw(true);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("729000 voxels"), std::string::npos) << said;
    EXPECT_EQ(said.find("GraphicsSystem:"), said.rfind("GraphicsSystem:")) << "once: " << said;
    const std::size_t centre = kFrameWidth * (kFrameHeight / 2) + kFrameWidth / 2;
    EXPECT_EQ(plain[centre].r + plain[centre].g + plain[centre].b, 0);

    EXPECT_GT(Draw(false)[centre].b, 100) << "the block's front face";
    EXPECT_EQ(graphics.voxelInstances.size(), 729000u - 88u * 88 * 88);

    huge.voxels.push_back(Cell({0, 0, 45}, {1, 0, 0, 1})); // one more in front
    huge.MarkChanged();
    EXPECT_GT(Draw(false)[centre].r, 100) << "the new voxel covers the centre";
    EXPECT_EQ(graphics.voxelInstances.size(), 729001u - 88u * 88 * 88);
}
