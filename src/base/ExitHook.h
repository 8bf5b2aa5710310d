#pragma once

// Telling every live instance of a system something at exit, from a handler
// that runs before the static objects made before it are destroyed: a
// library's own clean-up, a pool the instances' records live in.

#include <cstdlib>
#include <set>

template <typename T, void (T::*Hook)()> class ExitHook {
  public:
    static void Add(T* instance) { Live().insert(instance); }
    static void Remove(T* instance) { Live().erase(instance); }

    // Registers the handler, once however often called. It runs before what
    // was made until now goes, so call this after whatever `Hook` needs exists.
    static void Register() {
        Live(); // made first, so gone only after the handler ran
        static const bool registered = std::atexit(Run) == 0;
        (void)registered;
    }

  private:
    static std::set<T*>& Live() {
        static std::set<T*> live;
        return live;
    }

    static void Run() {
        for (T* instance : Live())
            (instance->*Hook)();
    }
};
