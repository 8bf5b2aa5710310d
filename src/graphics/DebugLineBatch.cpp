#include "graphics/DebugLineBatch.h"

#include <cstddef>

#include <GL/glew.h>
#include <glm/gtc/type_ptr.hpp>

void DebugLineBatch::AddLine(const glm::vec3& from, const glm::vec3& to, const glm::vec3& color,
                             float width) {
    if (runs.empty() || runs.back().width != width)
        runs.push_back({static_cast<std::int32_t>(vertices.size()), 0, width});
    vertices.push_back({{from.x, from.y, from.z}, {color.r, color.g, color.b}});
    vertices.push_back({{to.x, to.y, to.z}, {color.r, color.g, color.b}});
    runs.back().vertexCount += 2;
}

void DebugLineBatch::Clear() {
    vertices.clear();
    runs.clear();
}

void DebugLineBatch::ReleaseGl() {
    glDeleteBuffers(1, &buffer);
    buffer = 0;
}

void DebugLineBatch::Draw(const glm::mat4& view, const glm::mat4& projection) {
    if (vertices.empty()) {
        Clear();
        return;
    }
    GLint program = 0, vertexArray = 0, arrayBuffer = 0, matrixMode = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &program);
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &arrayBuffer);
    glGetIntegerv(GL_MATRIX_MODE, &matrixMode);
    glPushAttrib(GL_CURRENT_BIT | GL_LINE_BIT);
    glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);

    // The fixed-function pipeline, as a line drawn on its own would use it.
    glUseProgram(0);
    glBindVertexArray(0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadMatrixf(glm::value_ptr(view));
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadMatrixf(glm::value_ptr(projection));

    if (buffer == 0)
        glGenBuffers(1, &buffer);
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(vertices.size() * sizeof(Vertex)),
                 vertices.data(), GL_STREAM_DRAW);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    glVertexPointer(3, GL_FLOAT, sizeof(Vertex),
                    reinterpret_cast<const void*>(offsetof(Vertex, position)));
    glColorPointer(3, GL_FLOAT, sizeof(Vertex),
                   reinterpret_cast<const void*>(offsetof(Vertex, color)));
    for (const Run& run : runs) {
        glLineWidth(run.width);
        glDrawArrays(GL_LINES, run.firstVertex, run.vertexCount);
    }
    glLineWidth(1.0f);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    glMatrixMode(static_cast<GLenum>(matrixMode));
    glPopClientAttrib();
    glPopAttrib();
    glBindBuffer(GL_ARRAY_BUFFER, static_cast<GLuint>(arrayBuffer));
    glBindVertexArray(static_cast<GLuint>(vertexArray));
    glUseProgram(static_cast<GLuint>(program));
    Clear();
}
