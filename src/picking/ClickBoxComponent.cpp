#include "picking/ClickBoxComponent.h"

#include <cmath>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "window/WindowSystem.h"

namespace {
Component* FindSlot(std::uint32_t id) {
    return ComponentFactory<ClickBoxComponent>::Instance().At(id);
}
} // namespace

void ClickBoxComponent::OnAdd() {
    // A second add of an attached box must not leave its first listener registered.
    listener.Release();
    // The slot may have served a destroyed object: nothing of that one stays.
    active = true;
    button = 0;
    extents = glm::vec2(0.0f);
    clickableWhileInactive = false;
    anchor = ScreenAnchor::Center;
    ResetMouseState(kTriggerDelay);
}

void ClickBoxComponent::Initialize() {
    // Initializing again must not add a second listener.
    listener.Register(owner, Core::Instance().messageManager);
    CallInit();
}

void ClickBoxComponent::OnRemove() {
    // The manager only blanks the entry, so a delivery in progress (this very
    // listener may be on the stack) carries on safely.
    listener.Release();
    CallDestruct();
}

glm::vec2 ClickBoxComponent::GetCenter() const {
    glm::vec2 window(0.0f);
    if (const WindowSystem* windowSystem = Core::Instance().WindowSystem_)
        window = glm::vec2(windowSystem->GetWidth(), windowSystem->GetHeight());
    glm::vec2 position(0.0f);
    if (ObjectManager::HasComponent<TransformComponent>(owner)) {
        const glm::vec3& p = ObjectManager::GetComponent<TransformComponent>(owner)->position;
        position = glm::vec2(p.x, p.y);
    }
    // Anchors measure y up from the window's foot; mouse positions run down from its top.
    const glm::vec2 up = AnchorPoint(anchor, window) + position;
    return glm::vec2(up.x, window.y - up.y);
}

bool ClickBoxComponent::IsHit(glm::vec2 point) const {
    const glm::vec2 center = GetCenter();
    return std::abs(center.x - point.x) < extents.x && std::abs(center.y - point.y) < extents.y;
}

void ClickBoxComponent::HandleMessage(const MessagePointer& message) {
    if (!Reacts())
        return;
    if (const auto* motion = message.As<MouseMotionMessage>()) {
        mousePos = glm::vec2(motion->x, motion->y);
        MovedTo(IsHit(mousePos));
    } else if (const auto* press = message.As<MouseButtonMessage>()) {
        if (press->index != button)
            return;
        const glm::vec2 at(press->mousePos[0], press->mousePos[1]);
        ButtonChanged(press->state, IsHit(at), at - GetCenter(), &FindSlot);
    }
}

void ClickBoxComponent::Update(float dt) {
    if (!Reacts())
        return;
    UpdateHover(dt, IsHit(mousePos), mousePos - GetCenter(), &FindSlot);
}
