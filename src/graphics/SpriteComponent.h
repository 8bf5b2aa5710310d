#pragma once

#include <cstdint>

#include <glm/vec2.hpp>
#include <glm/vec4.hpp>

#include "graphics/ScreenAnchor.h"
#include "objects/Component.h"

struct Texture;

// A texture drawn as a rectangle in window pixels, centred on a point of the window (the
// anchor, its centre by default) moved by the object's transform position (x right, y up).
// Without a texture it is a rectangle of `scale` pixels in `color`. Sprites are drawn
// after the voxels, layer by layer from the lowest `z` up; within a layer in object-id
// order.
class SpriteComponent : public Component {
  public:
    // A new sprite, also on a slot reused from an earlier object, starts from the values
    // below: it shows nothing until a script gives it a texture, an alpha and a scale.
    void OnAdd() override;
    void Initialize() override;

    // (texture width x scale.x, texture height x scale.y) / 2; without a texture, scale / 2
    // for a solid rectangle and zero for one that shows nothing.
    // Drawing measures afresh each frame and never reads the cached halfExtents.
    glm::vec2 GetHalfExtents();
    void UpdateHalfExtents();

    Texture* texture = nullptr; // an entry of the graphics system's cache, never owned
    float alpha = 0.0f;         // drawn as at most 1
    float angle = 0.0f;         // degrees, counter-clockwise
    std::uint32_t z = 0;        // layer; lower layers are drawn first
    bool visible = true;
    glm::vec2 scale{0.0f, 0.0f}; // multiplies the texture's pixel size; without one, pixels
    // Drawn without a texture (r, g, b, a in [0, 1]); transparent draws nothing.
    glm::vec4 color{0.0f, 0.0f, 0.0f, 0.0f};
    ScreenAnchor anchor = ScreenAnchor::Center;
    glm::vec2 halfExtents{0.0f, 0.0f};
};
