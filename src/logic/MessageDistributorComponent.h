#pragma once

#include "objects/Component.h"
#include "objects/ComponentMessageListener.h"
#include "script/ScriptCallback.h"

class MessageManager;
class MessagePointer;

// Hands every engine message to a script function of its object, as a script
// object of the message's own class: processMessageFunction(owner, message).
class MessageDistributorComponent : public Component {
  public:
    MessageDistributorComponent() = default;
    // The slot owns its listener, so it cannot be copied.
    MessageDistributorComponent(const MessageDistributorComponent&) = delete;
    MessageDistributorComponent& operator=(const MessageDistributorComponent&) = delete;

    void OnAdd() override;
    // Stops listening; `active` keeps its value.
    void OnRemove() override;
    virtual void HandleMessage(const MessagePointer& message);

    void SetActive() { active = true; }
    void SetInactive() { active = false; }
    void ToggleActive() { active = !active; }

    OwnedComponentListener<MessageDistributorComponent> listener;
    ScriptCallback processMessageFunction;
    bool active = true;

  private:
};
