#pragma once

#include <utility>

#include "messaging/Message.h"

// How a SmartPointer gets rid of its object when the last reference goes.
template <class T> struct SmartPointerDisposer {
    static void Dispose(T* object) { delete object; }
};

// Message records live in pool blocks and need the destructor their id names.
template <> struct SmartPointerDisposer<Message> {
    static void Dispose(Message* message) { DestroyMessage(message); }
};

// Shared ownership through a separately allocated reference count. Single
// threaded by design: the count is a plain int.
template <class T> class SmartPointer {
  public:
    SmartPointer() = default;

    // Takes ownership of a fresh object; if the count cannot be allocated the
    // object is disposed of before the exception leaves.
    explicit SmartPointer(T* fresh) : ptr(fresh) {
        if (!ptr)
            return;
        try {
            count = new int(1);
        } catch (...) {
            SmartPointerDisposer<T>::Dispose(ptr);
            throw;
        }
    }

    SmartPointer(const SmartPointer& other) noexcept : ptr(other.ptr), count(other.count) {
        if (count)
            ++*count;
    }

    SmartPointer(SmartPointer&& other) noexcept
        : ptr(std::exchange(other.ptr, nullptr)), count(std::exchange(other.count, nullptr)) {}

    SmartPointer& operator=(const SmartPointer& other) noexcept {
        if (this == &other)
            return *this;
        SmartPointer copy(other);
        Swap(copy);
        return *this;
    }

    SmartPointer& operator=(SmartPointer&& other) noexcept {
        SmartPointer taken(std::move(other));
        Swap(taken);
        return *this;
    }

    virtual ~SmartPointer() { Reset(); }

    // Drops this reference; the last one disposes of the object.
    void Reset() noexcept {
        T* object = std::exchange(ptr, nullptr);
        int* shared = std::exchange(count, nullptr);
        if (shared && --*shared == 0) {
            delete shared;
            SmartPointerDisposer<T>::Dispose(object);
        }
    }

    T* Get() const { return ptr; }
    T* operator->() const { return ptr; }
    T& operator*() const { return *ptr; }
    explicit operator bool() const { return ptr != nullptr; }
    int UseCount() const { return count ? *count : 0; }

  protected:
    void Swap(SmartPointer& other) noexcept {
        std::swap(ptr, other.ptr);
        std::swap(count, other.count);
    }

    T* ptr = nullptr;
    int* count = nullptr;
};

// The handle through which message records travel; the record goes back to the
// message pool when the last copy is released.
class MessagePointer : public SmartPointer<Message> {
  public:
    using SmartPointer<Message>::SmartPointer;

    // The record as type T, or null when it is another kind of message.
    template <class T> T* As() const {
        static_assert(kIsMessageRecord<T>, "not a message record");
        return ptr && ptr->id == T::kId ? static_cast<T*>(ptr) : nullptr;
    }
};

extern template class SmartPointer<Message>;

// Creates a record in the message pool and wraps it.
template <class T, class... A> MessagePointer MakeMessage(A&&... args) {
    return MessagePointer(CreateMessage<T>(std::forward<A>(args)...));
}
