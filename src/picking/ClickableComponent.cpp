#include "picking/ClickableComponent.h"

#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentFactory.h"

namespace {
Component* FindSlot(std::uint32_t id) {
    return ComponentFactory<ClickableComponent>::Instance().At(id);
}
} // namespace

void ClickableComponent::OnAdd() {
    // The slot may have served a destroyed object: nothing of that one stays.
    active = true;
    button = 0;
    ResetMouseState(kTriggerDelay);
}

void ClickableComponent::Initialize() {
    CallInit();
}

void ClickableComponent::OnRemove() {
    CallDestruct();
}

void ClickableComponent::HandleMessage(const MessagePointer& message, const RayTestResult& pick) {
    if (!active)
        return;
    if (message.As<MouseMotionMessage>()) {
        MovedTo(IsOn(pick));
    } else if (const auto* press = message.As<MouseButtonMessage>()) {
        if (press->index == button)
            ButtonChanged(press->state, IsOn(pick), pick.intersection, &FindSlot);
    }
}

void ClickableComponent::Update(float dt, const RayTestResult& pick) {
    if (!active)
        return;
    UpdateHover(dt, IsOn(pick), pick.intersection, &FindSlot);
}
