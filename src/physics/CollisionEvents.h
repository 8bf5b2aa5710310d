#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "objects/GameObject.h"
#include "physics/CollisionContact.h"
#include "script/ScriptCallback.h"

class BodyComponent;
class btCollisionObject;
class btDispatcher;

// Tells bodies with collision functions when they start and stop touching
// another body. Two bodies touch while one of the library's persistent
// manifolds between them holds a contact point; the pairs are read once the
// frame's fixed steps are done (a touch that begins and ends within one
// frame's steps goes unseen), and scripts never run inside the library.
//
// Only bodies with a function set are looked at, and with none set anywhere
// the manifolds are not read at all.
class CollisionEvents {
  public:
    // After the frame's steps: pairs that began touching get an enter call
    // for each side, pairs that stopped an exit call.
    void Scan(btDispatcher& dispatcher, const btCollisionObject* ground);
    // Makes the waiting calls, lower object id first within a pair. The
    // functions may delete or remove anything: each call looks its body up
    // again, and a pair that ends meanwhile is told so in the same round.
    void Deliver();
    // `body` leaves the world (removed, deleted, cleared): every pair it was in
    // ends now, with an exit call to both sides. Its own function is taken
    // along, since the component forgets it.
    void Leave(const BodyComponent& body);
    // Forgets pairs and waiting calls (the scripts are being replaced).
    void Clear();

    // Bodies whose functions are set: the scan costs nothing while it is 0.
    void CountListener(bool added) {
        if (added)
            ++listeners;
        else
            --listeners;
    }
    std::size_t GetListenerCount() const { return listeners; }
    std::size_t GetPairCount() const { return touching.size(); }

  private:
    // `low` has the lower id; the ground plane is the handle with no id,
    // so it is always `high`.
    struct Pair {
        GameObject low, high;
        bool operator<(const Pair& other) const;
        bool operator==(const Pair& other) const;
    };
    struct Touch {
        Pair pair;
        CollisionContact contact; // as `low` sees it
    };
    struct Event {
        GameObject self, other;
        bool enter = false;
        bool cancelled = false;
        CollisionContact contact;
        // The function of a body that has left; looked up at call time otherwise.
        bool departed = false;
        ScriptCallback function;
    };

    void Read(btDispatcher& dispatcher, const btCollisionObject* ground);
    void QueueEnter(const Touch& touch);
    void QueueExit(const Pair& pair, const BodyComponent* departing);
    void QueueExitFor(const GameObject& self, const GameObject& other,
                      const BodyComponent* departing);
    void Call(const Event& event) const;

    std::vector<Pair> touching; // sorted
    std::vector<Touch> found;   // the last step's, sorted; kept for its memory
    std::vector<Event> pending;
    std::size_t next = 0; // first call of `pending` not yet made
    bool delivering = false;
    std::size_t listeners = 0;
};
