#pragma once

#include <cstdint>

#include <glm/mat4x4.hpp>

class ShaderProgram;

// The two flat-image passes of the frame, both drawn with the sprite program. They keep the
// depth, blend and cull state the frame set, bind no vertex array and feed their corners
// from client memory. Each leaves no program current.

// Every attached, visible sprite with a loaded texture, in window pixels (one unit per
// pixel, origin at the lower left): layers by `z` from the lowest up, object-id order
// within a layer.
void DrawSpritePass(ShaderProgram& program, std::uint32_t viewportWidth,
                    std::uint32_t viewportHeight);

// Every attached, visible billboard with a loaded texture, in object-id order, through
// projection x view.
void DrawBillboardPass(ShaderProgram& program, const glm::mat4& modelViewProjection);
