#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "graphics/GlContext.h"
#include "graphics/ShaderProgram.h"

namespace fs = std::filesystem;

namespace {

const std::string kShaders = std::string(MARROWVALE_SOURCE_DIR) + "/resource/Shaders/";

const char* const kVertexSource = "#version 330\n"
                                  "layout(location = 0) in vec3 position;\n"
                                  "void main() { gl_Position = vec4(position, 1.0); }\n";
const char* const kFragmentSource = "#version 330\n"
                                    "out vec4 color;\n"
                                    "void main() { color = vec4(1.0); }\n";

class ShaderFiles : public GlTest {
  protected:
    void SetUp() override {
        GlTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        std::string pattern = (fs::temp_directory_path() / "shadertest-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        if (!dir.empty())
            fs::remove_all(dir);
    }
    std::string Write(const std::string& name, const std::string& text) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << text;
        return path.string();
    }

    fs::path dir;
};

} // namespace

TEST_F(ShaderFiles, EngineShadersCompileLinkAndExposeTheirInputs) {
    ShaderProgram voxel;
    // The engine's scripts may spell paths with backslashes.
    const std::string voxelVs = kShaders + "voxelShader.vs";
    std::string constAmbient = kShaders + "constAmbient.fs";
    constAmbient.replace(constAmbient.rfind('/'), 1, "\\");
    voxel.AddShader(voxelVs);
    voxel.AddShader(constAmbient);
    testing::internal::CaptureStdout();
    voxel.Link();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              voxelVs + " compiled successfully.\n" + constAmbient +
                  " compiled successfully.\nShaders linked successfully.\n");
    for (const char* name : {"modelViewMatrix", "perspectiveMatrix", "voxelDataBuffer"}) {
        voxel.AddUniform(name);
        EXPECT_NE(voxel.GetUniformLocation(name), -1) << name;
    }
    EXPECT_EQ(glGetAttribLocation(voxel.GetProgram(), "position"), 0);
    EXPECT_EQ(glGetAttribLocation(voxel.GetProgram(), "normal"), 1);

    ShaderProgram sprite;
    sprite.AddShader(kShaders + "sprite.vs");
    sprite.AddShader(kShaders + "sprite.fs");
    testing::internal::CaptureStdout();
    sprite.Link();
    testing::internal::GetCapturedStdout();
    for (const char* name : {"u_alpha", "u_texture", "u_model_view_projection"}) {
        sprite.AddUniform(name);
        EXPECT_NE(sprite.GetUniformLocation(name), -1) << name;
    }
    EXPECT_EQ(glGetAttribLocation(sprite.GetProgram(), "position"), 0);
    EXPECT_EQ(glGetAttribLocation(sprite.GetProgram(), "texCoord"), 1);

    // Setters reach the registered uniforms; an unregistered name touches nothing.
    glUseProgram(sprite.GetProgram());
    sprite.SetAlpha(0.25f);
    sprite.SetTextureUnit("u_texture");
    const glm::mat4 m(2.0f);
    sprite.SetUniformMatrix4("u_model_view_projection", m);
    sprite.SetUniformMatrix4("never_registered", glm::mat4(7.0f));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLfloat alpha = 0, matrix[16] = {};
    GLint unit = -1;
    glGetUniformfv(sprite.GetProgram(), sprite.GetUniformLocation("u_alpha"), &alpha);
    glGetUniformiv(sprite.GetProgram(), sprite.GetUniformLocation("u_texture"), &unit);
    glGetUniformfv(sprite.GetProgram(), sprite.GetUniformLocation("u_model_view_projection"),
                   matrix);
    EXPECT_EQ(alpha, 0.25f);
    EXPECT_EQ(unit, 0);
    EXPECT_EQ(matrix[0], 2.0f);
    EXPECT_EQ(matrix[1], 0.0f);
    glUseProgram(0);
}

TEST_F(ShaderFiles, StageComesFromVsOrFsAnywhereInThePath) {
    // Each program links only if its first file is taken as the vertex stage.
    ShaderProgram both;
    both.AddShader(Write("x.vs.fs", kVertexSource));
    both.AddShader(Write("y.fs", kFragmentSource));
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(both.Link());

    ShaderProgram folder;
    folder.AddShader(Write("stages.vs/a.glsl", kVertexSource));
    folder.AddShader(Write("b.fs", kFragmentSource));
    EXPECT_NO_THROW(folder.Link());
    testing::internal::GetCapturedStdout();

    ShaderProgram wrong;
    wrong.AddShader(Write("shader.glsl", kVertexSource));
    try {
        wrong.Link();
        FAIL() << "no exception";
    } catch (const ShaderException& e) {
        EXPECT_EQ(e.message, "Shader file must have extension .fs or .vs");
    }
}

TEST_F(ShaderFiles, MissingSecondFileThrowsAfterTheFirstIsCompiled) {
    ShaderProgram program;
    const std::string first = Write("ok.vs", kVertexSource);
    const std::string missing = (dir / "missing.fs").string();
    program.AddShader(first);
    program.AddShader(missing);
    testing::internal::CaptureStdout();
    try {
        program.Link();
        testing::internal::GetCapturedStdout();
        FAIL() << "no exception";
    } catch (const ShaderException& e) {
        EXPECT_EQ(e.message, "Cannot find file" + missing);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), first + " compiled successfully.\n");
    }
}

TEST_F(ShaderFiles, CompileErrorDumpsTheInfoLogAndStops) {
    ShaderProgram program;
    const std::string bad = Write("bad.vs", "#version 330\nvoid main() { gl_Position = oops; }\n");
    const std::string never = Write("never.fs", kFragmentSource);
    program.AddShader(bad);
    program.AddShader(never);
    testing::internal::CaptureStdout();
    try {
        program.Link();
        testing::internal::GetCapturedStdout();
        FAIL() << "no exception";
    } catch (const ShaderProgramException& e) {
        EXPECT_EQ(e.message, "Could not compile" + bad);
        const std::string out = testing::internal::GetCapturedStdout();
        const std::string head = bad + " failed to compile\nDumping info log.\n";
        ASSERT_EQ(out.compare(0, head.size(), head), 0) << out;
        EXPECT_NE(out.find("oops", head.size()), std::string::npos) << out;
        EXPECT_EQ(out.find(never), std::string::npos) << out;
    }
}

TEST_F(ShaderFiles, LinkErrorDumpsTheProgramLog) {
    ShaderProgram program;
    // Calls a function that no attached shader defines: compiles, cannot link.
    program.AddShader(Write("a.vs", "#version 330\nvec4 Missing();\n"
                                    "void main() { gl_Position = Missing(); }\n"));
    program.AddShader(Write("b.fs", kFragmentSource));
    testing::internal::CaptureStdout();
    try {
        program.Link();
        testing::internal::GetCapturedStdout();
        FAIL() << "no exception";
    } catch (const ShaderProgramException& e) {
        EXPECT_EQ(e.message, "Could not link shader program");
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_NE(out.find("compiled successfully.\nFailed to link.\n"), std::string::npos) << out;
        EXPECT_GT(out.size(), out.find("Failed to link.\n") + 17) << "no log: " << out;
    }
}
