#pragma once

#include "messaging/MessageListener.h"
#include "messaging/MessageManager.h"
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

// A component's own registration with the message manager. Registering
// replaces an earlier registration, so adding or initializing twice never
// leaves two listeners; releasing unregisters from the manager it was added
// to, remembered so that it never depends on the order in which statics are
// torn down at exit. The manager only blanks the entry, so a delivery in
// progress (this very listener may be on the stack) carries on safely.
template <class T> class OwnedComponentListener {
  public:
    OwnedComponentListener() = default;
    OwnedComponentListener(const OwnedComponentListener&) = delete;
    OwnedComponentListener& operator=(const OwnedComponentListener&) = delete;
    ~OwnedComponentListener() { Release(); }

    void Register(const GameObject& owner, MessageManager* manager) {
        Release();
        listener = new ComponentMessageListener<T>(owner);
        registeredWith = manager;
        if (registeredWith != nullptr)
            registeredWith->AddListener(*listener, 0);
    }

    void Release() {
        if (listener == nullptr)
            return;
        if (registeredWith != nullptr)
            registeredWith->RemoveListener(listener->listener);
        delete listener;
        listener = nullptr;
        registeredWith = nullptr;
    }

    bool IsRegistered() const { return listener != nullptr; }

  private:
    ComponentMessageListener<T>* listener = nullptr;
    MessageManager* registeredWith = nullptr;
};
