#include <filesystem>
#include <fstream>
#include <string>

#include <GL/glew.h>
#include <gtest/gtest.h>

#include "graphics/GraphicsTestSupport.h"
#include "graphics/ShaderProgram.h"
#include "script/ScriptTestSupport.h"

namespace fs = std::filesystem;

namespace {

const std::string kShaders = std::string(MARROWVALE_SOURCE_DIR) + "/resource/Shaders/";
const char* const kVertex = "#version 330\nlayout(location = 0) in vec3 p;\n"
                            "void main() { gl_Position = vec4(p, 1.0); }\n";
const char* const kFragment = "#version 330\nout vec4 c;\nvoid main() { c = vec4(1.0); }\n";

class ShaderFiles : public GraphicsTest {
  protected:
    std::string Write(const std::string& name, const std::string& text) {
        fs::create_directories((dir / name).parent_path());
        std::ofstream(dir / name) << text;
        return (dir / name).string();
    }
    // Links the files; returns what went to standard output, the exception text in `error`.
    std::string Link(ShaderProgram& program) {
        error.clear();
        testing::internal::CaptureStdout();
        try {
            program.Link();
        } catch (const ShaderException& e) {
            error = e.message;
        } catch (const ShaderProgramException& e) {
            error = e.message;
        }
        return testing::internal::GetCapturedStdout();
    }

    std::string error;
    const TempFolder folder;
    const fs::path& dir = folder.path;
};

} // namespace

TEST_F(ShaderFiles, EngineShadersLinkStagesComeFromTheNameAndFailuresDumpTheInfoLog) {
    Initialize();
    ShaderProgram voxel;
    const std::string vs = kShaders + "voxelShader.vs", fs = kShaders + "constAmbient.fs";
    voxel.AddShader(vs);
    voxel.AddShader(fs);
    EXPECT_EQ(Link(voxel), vs + " compiled successfully.\n" + fs +
                               " compiled successfully.\nShaders linked successfully.\n");
    // The attribute locations the draw calls bind.
    EXPECT_EQ(glGetAttribLocation(voxel.GetProgram(), "position"), 0);
    EXPECT_EQ(glGetAttribLocation(voxel.GetProgram(), "normal"), 1);
    const GLuint sprite = graphics.spriteProgram.GetProgram();
    EXPECT_EQ(glGetAttribLocation(sprite, "position"), 0);
    EXPECT_EQ(glGetAttribLocation(sprite, "texCoord"), 1);

    // Each program links only if its first file is taken as the vertex stage.
    for (const char* vertexFile : {"x.vs.fs", "stages.vs/a.glsl"}) {
        ShaderProgram program;
        program.AddShader(Write(vertexFile, kVertex));
        program.AddShader(Write("y.fs", kFragment));
        Link(program);
        EXPECT_EQ(error, "") << vertexFile;
    }
    ShaderProgram neither;
    neither.AddShader(Write("shader.glsl", kVertex));
    EXPECT_EQ(Link(neither), "");
    EXPECT_EQ(error, "Shader file must have extension .fs or .vs");

    // Failures stop the build and dump the info log.
    ShaderProgram missing;
    const std::string first = Write("ok.vs", kVertex), absent = (dir / "missing.fs").string();
    missing.AddShader(first);
    missing.AddShader(absent);
    EXPECT_EQ(Link(missing), first + " compiled successfully.\n");
    EXPECT_EQ(error, "Cannot find file " + absent);

    ShaderProgram broken;
    const std::string bad = Write("bad.vs", "#version 330\nvoid main() { gl_Position = oops; }\n");
    broken.AddShader(bad);
    broken.AddShader(Write("never.fs", kFragment));
    std::string out = Link(broken);
    EXPECT_EQ(error, "Could not compile" + bad);
    const std::string head = bad + " failed to compile\nDumping info log.\n";
    EXPECT_EQ(out.compare(0, head.size(), head), 0) << out;
    EXPECT_NE(out.find("oops", head.size()), std::string::npos) << out;
    EXPECT_EQ(out.find("never.fs"), std::string::npos) << "compilation stops at the failure";

    // Calls a function nothing defines: compiles, cannot link.
    ShaderProgram unlinkable;
    unlinkable.AddShader(
        Write("a.vs", "#version 330\nvec4 F();\nvoid main() { gl_Position = F(); }\n"));
    unlinkable.AddShader(Write("b.fs", kFragment));
    out = Link(unlinkable);
    EXPECT_EQ(error, "Could not link shader program");
    EXPECT_NE(out.find("compiled successfully.\nFailed to link.\n"), std::string::npos) << out;
}
