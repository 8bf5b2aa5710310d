#include "graphics/SpriteComponent.h"

#include "graphics/Texture.h"

void SpriteComponent::OnAdd() {
    texture = nullptr;
    alpha = 0.0f;
    angle = 0.0f;
    z = 0;
    visible = true;
    scale = glm::vec2(0.0f);
    color = glm::vec4(0.0f);
    anchor = ScreenAnchor::Center;
    halfExtents = glm::vec2(0.0f);
}

void SpriteComponent::Initialize() {
    UpdateHalfExtents();
}

glm::vec2 SpriteComponent::GetHalfExtents() {
    UpdateHalfExtents();
    return halfExtents;
}

void SpriteComponent::UpdateHalfExtents() {
    if (texture == nullptr) {
        // A solid rectangle is `scale` pixels; a sprite showing nothing measures nothing.
        halfExtents = color.a > 0.0f ? scale * 0.5f : glm::vec2(0.0f);
        return;
    }
    halfExtents = glm::vec2(static_cast<float>(texture->width) * scale.x * 0.5f,
                            static_cast<float>(texture->height) * scale.y * 0.5f);
}
