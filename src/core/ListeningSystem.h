#pragma once

#include "messaging/MessageListener.h"
#include "messaging/MessageManager.h"

// Systems start listening in their constructors, before any system is
// initialised, so that no broadcast made during start-up is missed.
template <class T> void StartListening(MessageManager& messages, T* system) {
    system->listener = new MessageListener::MessageListenerDerived<T>(system);
    messages.AddListener(*system, 0);
}
