#pragma once

#include "messaging/MessageListener.h"
#include "objects/ComponentFactory.h"
#include "objects/GameObject.h"
#include "objects/ObjectManager.h"

class MessagePointer;

// Listener holder for components of type T. The adapter keeps the owner's
// handle, not a pointer to the component, and looks the component up by id on
// every message, so a destroyed object, a detached component or a cleared
// store is simply not reached. T needs HandleMessage(const MessagePointer&).
template <class T> class ComponentMessageListener : public MessageListener {
  public:
    class ComponentMessageListenerDerived : public MessageListener::MessageListenerBase {
      public:
        explicit ComponentMessageListenerDerived(const GameObject& owner) : owner(owner) {}

        void HandleMessage(const MessagePointer& message) override {
            if (!IsValid()) {
                return;
            }
            T* component = ComponentFactory<T>::Instance().At(owner.id);
            if (component != nullptr && component->IsAttached()) {
                component->HandleMessage(message);
            }
        }

        bool IsValid() override { return ObjectManager::IsValid(owner); }

        GameObject owner;
    };

    explicit ComponentMessageListener(const GameObject& owner) {
        listener = new ComponentMessageListenerDerived(owner);
    }
};
