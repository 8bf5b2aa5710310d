#include <cmath>
#include <string>
#include <vector>

#include <glm/ext/matrix_projection.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <gtest/gtest.h>

#include "graphics/GlContext.h"
#include "graphics/Projection.h"
#include "graphics/ShaderProgram.h"
#include "voxels/CubeGeometry.h"
#include "voxels/VoxelInstance.h"

namespace {

constexpr int kSize = 96;
const std::string kShaders = std::string(MARROWVALE_SOURCE_DIR) + "/resource/Shaders/";

struct Rgba {
    int r, g, b, a;
};

// Draws instances of the unit cube through the engine's voxel shaders into an offscreen
// target, the way the frame does: one buffer texture, one instanced draw.
class VoxelShaderRender : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        program.AddShader(kShaders + "voxelShader.vs");
        program.AddShader(kShaders + "constAmbient.fs");
        testing::internal::CaptureStdout();
        program.Link();
        testing::internal::GetCapturedStdout();
        for (const char* name : {"modelViewMatrix", "perspectiveMatrix", "voxelDataBuffer"})
            program.AddUniform(name);

        glGenFramebuffers(1, &framebuffer);
        glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
        glGenRenderbuffers(2, renderbuffers);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[0]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, kSize, kSize);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                  renderbuffers[0]);
        glBindRenderbuffer(GL_RENDERBUFFER, renderbuffers[1]);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, kSize, kSize);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                                  renderbuffers[1]);
        ASSERT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), GLenum(GL_FRAMEBUFFER_COMPLETE));

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

        glGenBuffers(1, &dataBuffer);
        glBindBuffer(GL_TEXTURE_BUFFER, dataBuffer);
        glBufferData(GL_TEXTURE_BUFFER, 1 << 16, nullptr, GL_DYNAMIC_DRAW);
        glGenTextures(1, &dataTexture);
        glBindTexture(GL_TEXTURE_BUFFER, dataTexture);
        glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, dataBuffer);

        view = glm::lookAt(glm::vec3(0, 0, 3), glm::vec3(0), glm::vec3(0, 1, 0));
        projection = PerspectiveMatrix(1.0f);
    }

    void Draw(const std::vector<VoxelInstance>& instances) {
        glViewport(0, 0, kSize, kSize);
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glEnable(GL_CULL_FACE);
        glCullFace(GL_BACK);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glUseProgram(program.GetProgram());
        program.SetUniformMatrix4("modelViewMatrix", view);
        program.SetUniformMatrix4("perspectiveMatrix", projection);
        glBindBuffer(GL_TEXTURE_BUFFER, dataBuffer);
        glBufferSubData(GL_TEXTURE_BUFFER, 0, instances.size() * sizeof(VoxelInstance),
                        instances.data());
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_BUFFER, dataTexture);
        program.SetTextureUnit("voxelDataBuffer");
        glBindVertexArray(cubeArray);
        glDrawArraysInstanced(GL_TRIANGLES, 0, 36, static_cast<GLsizei>(instances.size()));
        glBindVertexArray(0);
        glUseProgram(0);
        ASSERT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    }

    // The pixel a world point lands on.
    Rgba At(const glm::vec3& world) {
        const glm::vec3 window =
            glm::project(world, view, projection, glm::vec4(0, 0, kSize, kSize));
        unsigned char p[4] = {};
        glReadPixels(int(window.x), int(window.y), 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        return {p[0], p[1], p[2], p[3]};
    }

    static VoxelInstance Voxel(glm::vec4 color, glm::vec3 position,
                               glm::vec4 orientation = {0, 0, 0, 1}) {
        VoxelInstance v;
        v.color = color;
        v.position = glm::vec4(position, 1.0f);
        v.orientation = orientation;
        return v;
    }

    ShaderProgram program;
    GLuint framebuffer = 0, renderbuffers[2] = {}, cubeBuffer = 0, cubeArray = 0;
    GLuint dataBuffer = 0, dataTexture = 0;
    glm::mat4 view{1.0f}, projection{1.0f};
};

} // namespace

TEST_F(VoxelShaderRender, EachInstanceReadsItsOwnRecord) {
    view = glm::lookAt(glm::vec3(0, 0, 5), glm::vec3(0), glm::vec3(0, 1, 0));
    Draw({Voxel({1, 0, 0, 1}, {0, 0, 0}), Voxel({0, 1, 0, 1}, {1.5f, 0, 0}),
          Voxel({0, 0, 1, 1}, {-1.5f, 0, 0})});
    const Rgba red = At({0, 0, 0.5f}), green = At({1.5f, 0, 0.5f}), blue = At({-1.5f, 0, 0.5f});
    EXPECT_GT(red.r, 100);
    EXPECT_EQ(red.g + red.b, 0);
    EXPECT_GT(green.g, 100);
    EXPECT_EQ(green.r + green.b, 0);
    EXPECT_GT(blue.b, 100);
    EXPECT_EQ(blue.r + blue.g, 0);
    const Rgba gap = At({0.75f, 0, 0});
    EXPECT_EQ(gap.r + gap.g + gap.b, 0) << "nothing between the cubes";
}

TEST_F(VoxelShaderRender, OrientationTurnsTheCube) {
    // Seen head-on, a cube turned 45 degrees about z is a diamond reaching 0.707 along x
    // but not into the corners of the unturned square.
    const glm::vec3 alongX(0.62f, 0, 0.5f), corner(0.45f, 0.45f, 0.5f);
    Draw({Voxel({1, 1, 1, 1}, {0, 0, 0})});
    EXPECT_EQ(At(alongX).r, 0);
    EXPECT_GT(At(corner).r, 0);

    const float s = std::sin(glm::radians(22.5f)), c = std::cos(glm::radians(22.5f));
    Draw({Voxel({1, 1, 1, 1}, {0, 0, 0}, {0, 0, s, c})});
    EXPECT_GT(At(alongX).r, 0);
    EXPECT_EQ(At(corner).r, 0);
}

TEST_F(VoxelShaderRender, VisibleFacesAreLitDifferently) {
    view = glm::lookAt(glm::vec3(2.5f, 2.0f, 3.0f), glm::vec3(0), glm::vec3(0, 1, 0));
    Draw({Voxel({0.8f, 0.8f, 0.8f, 0.5f}, {0, 0, 0})});
    const Rgba top = At({0, 0.5f, 0}), front = At({0, 0, 0.5f}), side = At({0.5f, 0, 0});
    EXPECT_GT(std::abs(top.r - front.r), 15);
    EXPECT_GT(std::abs(front.r - side.r), 15);
    EXPECT_GT(std::abs(top.r - side.r), 15);
    EXPECT_EQ(top.a, 128) << "the colour's alpha is kept";
}
