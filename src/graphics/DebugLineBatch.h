#pragma once

#include <cstdint>
#include <vector>

#include <glm/mat4x4.hpp>
#include <glm/vec3.hpp>

// Debug lines collected while the debug-draw message is handled and drawn
// together afterwards: one buffer upload and one draw (one per change of line
// width), instead of a draw with matrix pushes for every line. The pixels are
// those of drawing each line on its own with the fixed-function pipeline, which
// this uses too: world coordinates through the given view and projection, the
// line's own colour with alpha 1, the frame's depth and blend state.
class DebugLineBatch {
  public:
    DebugLineBatch() = default;
    DebugLineBatch(const DebugLineBatch&) = delete;
    DebugLineBatch& operator=(const DebugLineBatch&) = delete;

    void AddLine(const glm::vec3& from, const glm::vec3& to, const glm::vec3& color,
                 float width = 1.0f);

    // Draws and forgets every collected line. Needs the GL context current;
    // leaves matrices, program, bindings, client arrays and line width as it
    // found them.
    void Draw(const glm::mat4& view, const glm::mat4& projection);
    // Forgets the lines without drawing (no GL).
    void Clear();
    // Frees the GL buffer; the next Draw makes a new one (after a context change).
    void ReleaseGl();

    std::size_t GetLineCount() const { return vertices.size() / 2; }

  private:
    struct Vertex {
        float position[3];
        float color[3];
    };
    // Consecutive lines of one width.
    struct Run {
        std::int32_t firstVertex;
        std::int32_t vertexCount;
        float width;
    };

    std::vector<Vertex> vertices;
    std::vector<Run> runs;
    std::uint32_t buffer = 0;
};
