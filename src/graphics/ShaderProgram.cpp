#include "graphics/ShaderProgram.h"

#include <cstdio>

#include <fstream>
#include <iostream>

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

#include "base/Path.h"

ShaderProgram::~ShaderProgram() {
    // Without a program no GL object was ever created (and GL may not even be loaded).
    if (program == 0)
        return;
    for (const auto& file : shaders)
        if (file->shader != 0)
            glDeleteShader(file->shader);
    glDeleteProgram(program);
}

void ShaderProgram::AddShader(const std::string& fileName, const std::string& defines) {
    auto file = std::make_unique<ShaderFile>();
    file->fileName = fileName;
    file->defines = defines;
    shaders.push_back(std::move(file));
}

void ShaderProgram::Compile(ShaderFile& file) {
    GLenum stage;
    if (file.fileName.find(".vs") != std::string::npos)
        stage = GL_VERTEX_SHADER;
    else if (file.fileName.find(".fs") != std::string::npos)
        stage = GL_FRAGMENT_SHADER;
    else
        throw ShaderException("Shader file must have extension .fs or .vs");

    file.shader = glCreateShader(stage);

    std::ifstream input(NormalizePath(file.fileName));
    if (!input.is_open())
        throw ShaderException("Cannot find file " + file.fileName, file.fileName);
    std::string source, line;
    for (int number = 1; std::getline(input, line); ++number) {
        source += line;
        source += '\n';
        // Logs keep naming the file's own line numbers.
        if (number == 1 && !file.defines.empty())
            source += file.defines + "#line 2\n";
    }

    const GLchar* text = source.c_str();
    glShaderSource(file.shader, 1, &text, nullptr);
    glCompileShader(file.shader);

    GLint status = GL_FALSE;
    glGetShaderiv(file.shader, GL_COMPILE_STATUS, &status);
    if (status == GL_TRUE) {
        if (reportSuccess)
            std::cout << file.fileName << " compiled successfully." << std::endl;
        file.compiled = true;
        return;
    }
    std::cout << file.fileName << " failed to compile" << std::endl;
    std::cout << "Dumping info log." << std::endl;
    GLint length = 0;
    glGetShaderiv(file.shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    GLsizei written = 0;
    glGetShaderInfoLog(file.shader, static_cast<GLsizei>(log.size()), &written, log.data());
    log.resize(static_cast<std::size_t>(written));
    std::cout << log << std::endl;
    file.compiled = false;
}

void ShaderProgram::Link() {
    program = glCreateProgram();

    for (const auto& file : shaders) {
        Compile(*file);
        if (!file->compiled)
            throw ShaderProgramException("Could not compile" + file->fileName);
    }
    for (const auto& file : shaders)
        glAttachShader(program, file->shader);
    glLinkProgram(program);

    GLint status = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_TRUE) {
        if (reportSuccess)
            std::cout << "Shaders linked successfully." << std::endl;
        return;
    }
    std::cout << "Failed to link." << std::endl;
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(length > 0 ? length : 1), '\0');
    GLsizei written = 0;
    glGetProgramInfoLog(program, static_cast<GLsizei>(log.size()), &written, log.data());
    log.resize(static_cast<std::size_t>(written));
    std::cout << log << std::endl;
    throw ShaderProgramException("Could not link shader program");
}

void ShaderProgram::AddUniform(const std::string& name) {
    uniforms[name] = glGetUniformLocation(program, name.c_str());
}

std::int32_t ShaderProgram::GetUniformLocation(const std::string& name) const {
    const auto found = uniforms.find(name);
    return found == uniforms.end() ? -1 : found->second;
}

void ShaderProgram::SetUniformMatrix4(const std::string& name, const glm::mat4& matrix) {
    glUniformMatrix4fv(GetUniformLocation(name), 1, GL_FALSE, glm::value_ptr(matrix));
}

void ShaderProgram::SetTextureUnit(const std::string& name) {
    glUniform1i(GetUniformLocation(name), 0);
}

void ShaderProgram::SetAlpha(float alpha) {
    glUniform1f(GetUniformLocation("u_alpha"), alpha);
}

void SayShaderFailure(const std::string& reason, const char* instead) {
    std::fprintf(stderr, "GraphicsSystem: %s; %s\n", reason.c_str(), instead);
}
