#include "graphics/CameraComponent.h"

#include "core/Core.h"
#include "graphics/Projection.h"
#include "graphics/TransformComponent.h"
#include "messaging/MessageManager.h"
#include "objects/ComponentFactory.h"

CameraComponent::~CameraComponent() {
    ReleaseListener();
}

void CameraComponent::OnAdd() {
    // A second add of an attached camera must not leave its first listener registered.
    ReleaseListener();
    listener = new ComponentMessageListener<CameraComponent>(owner);
    registeredWith = Core::Instance().messageManager;
    if (registeredWith != nullptr)
        registeredWith->AddListener(*listener, 0);
    active = false;
}

void CameraComponent::OnRemove() {
    ReleaseListener();
}

void CameraComponent::ReleaseListener() {
    if (listener == nullptr)
        return;
    if (registeredWith != nullptr)
        registeredWith->RemoveListener(listener->listener);
    delete listener;
    listener = nullptr;
    registeredWith = nullptr;
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
