#include "graphics/CameraComponent.h"

#include "core/Core.h"
#include "graphics/Projection.h"
#include "graphics/TransformComponent.h"
#include "messaging/MessageManager.h"
#include "objects/ComponentFactory.h"

void CameraComponent::OnAdd() {
    // A second add of an attached camera must not leave its first listener registered.
    listener.Register(owner, Core::Instance().messageManager);
    active = false;
}

void CameraComponent::OnRemove() {
    listener.Release();
}

void CameraComponent::HandleMessage(const MessagePointer&) {}

glm::mat4 CameraComponent::GetMatrix() const {
    const TransformComponent* transform =
        ComponentFactory<TransformComponent>::Instance().At(owner.id);
    if (transform == nullptr)
        return glm::mat4(1.0f);
    return ViewMatrix(transform->position, transform->orientation);
}

void CameraComponent::SetActive(bool value) {
    if (value)
        ComponentFactory<CameraComponent>::Instance().ForEachAttached(
            [](CameraComponent& camera) { camera.active = false; });
    active = value;
}

CameraComponent* CameraComponent::FindActive() {
    CameraComponent* found = nullptr;
    // Walked in id order, so the active camera with the highest id wins.
    ComponentFactory<CameraComponent>::Instance().ForEachAttached([&](CameraComponent& camera) {
        if (camera.active)
            found = &camera;
    });
    return found;
}
