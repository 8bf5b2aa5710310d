#pragma once

class MessagePointer;

// Something that wants every broadcast message. A listening system derives
// from this and from Core::System; the manager only ever sees the adapter.
class MessageListener {
  public:
    class MessageListenerBase {
      public:
        virtual void HandleMessage(const MessagePointer& message) = 0;
        virtual bool IsValid() = 0;
        virtual ~MessageListenerBase() = default;
    };

    // Forwards to the owner's own handler; systems, game states and editor
    // modes outlive every broadcast, so the adapter is always valid.
    template <class T> class MessageListenerDerived : public MessageListenerBase {
      public:
        explicit MessageListenerDerived(T* owner) : owner(owner) {}
        void HandleMessage(const MessagePointer& message) override {
            owner->HandleMessage(message);
        }
        bool IsValid() override { return true; }
        T* owner;
    };

    MessageListener() = default;
    MessageListener(const MessageListener&) = delete;
    MessageListener& operator=(const MessageListener&) = delete;
    virtual ~MessageListener() { delete listener; }

    MessageListenerBase* listener = nullptr;
};
