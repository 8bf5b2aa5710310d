#include "graphics/BillboardComponent.h"

void BillboardComponent::OnAdd() {
    texture = nullptr;
    alpha = 0.0f;
    visible = true;
    scale = glm::vec2(0.0f);
    offset = glm::vec3(0.0f);
    orientation = glm::quat(1.0f, 0.0f, 0.0f, 0.0f);
}
