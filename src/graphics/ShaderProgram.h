#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <glm/mat4x4.hpp>

// A single shader file could not be used (unknown stage or missing file).
class ShaderException {
  public:
    explicit ShaderException(std::string message, std::string missingFile = std::string())
        : message(std::move(message)), missingFile(std::move(missingFile)) {}
    std::string message;
    std::string missingFile; // set when the file could not be opened
};

// The program could not be built (a file failed to compile, or linking failed).
class ShaderProgramException {
  public:
    explicit ShaderProgramException(std::string message) : message(std::move(message)) {}
    std::string message;
};

// Says once on standard error why a program could not be made and how frames are drawn
// instead: "GraphicsSystem: <reason>; <instead>".
void SayShaderFailure(const std::string& reason, const char* instead);

// Runs `build`, which makes programs, and says whether it could; when it could not, the
// reason is said with `instead` and the caller draws without them.
template <class Build> bool BuildOrDrawWithout(const char* instead, Build&& build) {
    try {
        build();
        return true;
    } catch (const ShaderException& error) {
        SayShaderFailure(error.message, instead);
    } catch (const ShaderProgramException& error) {
        SayShaderFailure(error.message, instead);
    }
    return false;
}

// A GL program built once from GLSL files on disk. Compile and link progress and GL info
// logs go to standard output; failures throw. Needs a current GL context with GLEW
// initialised from Link() on.
class ShaderProgram {
    static inline bool reportSuccess = true;

  public:
    ShaderProgram() = default;
    ShaderProgram(const ShaderProgram&) = delete;
    ShaderProgram& operator=(const ShaderProgram&) = delete;
    ~ShaderProgram();

    // Queues a file for Link(). Its stage comes from the name: ".vs" anywhere makes it a
    // vertex shader, otherwise ".fs" anywhere a fragment shader. `defines` (whole lines,
    // such as "#define LIT\n") go right after the file's first line, its #version.
    void AddShader(const std::string& fileName, const std::string& defines = std::string());

    // Compiles every queued file in order, stopping at the first failure, then links.
    void Link();

    // Off (--quiet), a build that works says nothing; failures and their logs still print.
    static void SetReportSuccess(bool report) { reportSuccess = report; }

    // Looks up and remembers a uniform's location (-1 when the program does not use it).
    void AddUniform(const std::string& name);

    // The setters act on the current program. A name never registered with AddUniform is
    // ignored rather than written to whatever uniform sits at location 0.
    void SetUniformMatrix4(const std::string& name, const glm::mat4& matrix);
    void SetTextureUnit(const std::string& name); // sampler -> texture unit 0
    void SetAlpha(float alpha);                   // "u_alpha"

    std::uint32_t GetProgram() const { return program; }
    std::int32_t GetUniformLocation(const std::string& name) const;

  private:
    struct ShaderFile {
        std::string fileName;
        std::string defines;
        std::uint32_t shader = 0;
        bool compiled = false;
    };

    static void Compile(ShaderFile& file);

    std::vector<std::unique_ptr<ShaderFile>> shaders;
    std::uint32_t program = 0;
    std::map<std::string, std::int32_t> uniforms;
};
