#include "physics/CollisionEvents.h"

#include <algorithm>
#include <tuple>

#include <btBulletDynamicsCommon.h>

#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"

namespace {

bool Same(const GameObject& a, const GameObject& b) {
    return a.id == b.id && a.generation == b.generation;
}

// The object whose body `object` is, the ground plane's empty handle, or false
// for a body no component owns.
bool OwnerOf(const btCollisionObject* object, const btCollisionObject* ground, GameObject& out) {
    if (object == ground) {
        out = GameObject();
        return true;
    }
    const BodyComponent* body = BodyComponent::Of(object);
    if (!body)
        return false;
    out = body->owner;
    return true;
}

// The body component still owning a body for `obj`, or null.
BodyComponent* LiveBody(const GameObject& obj) {
    if (!ObjectManager::IsValid(obj))
        return nullptr;
    BodyComponent* body = ObjectManager::GetComponent<BodyComponent>(obj);
    if (!body || !body->IsAttached() || !Same(body->owner, obj) || !body->GetBody())
        return nullptr;
    return body;
}

// The manifold's points averaged, seen from body 0: the library's normal on
// body 1 points from body 1 into body 0.
CollisionContact ContactOf(const btPersistentManifold& manifold) {
    CollisionContact contact;
    btVector3 point(0, 0, 0), normal(0, 0, 0);
    const int count = manifold.getNumContacts();
    for (int i = 0; i < count; ++i) {
        const btManifoldPoint& p = manifold.getContactPoint(i);
        point += (p.getPositionWorldOnA() + p.getPositionWorldOnB()) * 0.5f;
        normal += p.m_normalWorldOnB;
        contact.impulse = std::max(contact.impulse, p.getAppliedImpulse());
    }
    contact.point = FromBullet(point / btScalar(count));
    if (normal.length2() > SIMD_EPSILON)
        contact.normal = FromBullet(normal.normalized());
    else
        contact.normal = FromBullet(manifold.getContactPoint(0).m_normalWorldOnB);
    return contact;
}

CollisionContact Reversed(CollisionContact contact) {
    contact.normal = -contact.normal;
    return contact;
}

} // namespace

bool CollisionEvents::Pair::operator<(const Pair& other) const {
    return std::tie(low.id, low.generation, high.id, high.generation) <
           std::tie(other.low.id, other.low.generation, other.high.id, other.high.generation);
}

bool CollisionEvents::Pair::operator==(const Pair& other) const {
    return Same(low, other.low) && Same(high, other.high);
}

void CollisionEvents::Read(btDispatcher& dispatcher, const btCollisionObject* ground) {
    found.clear();
    const int manifolds = dispatcher.getNumManifolds();
    for (int i = 0; i < manifolds; ++i) {
        const btPersistentManifold& manifold = *dispatcher.getManifoldByIndexInternal(i);
        if (manifold.getNumContacts() == 0)
            continue;
        const btCollisionObject* a = manifold.getBody0();
        const btCollisionObject* b = manifold.getBody1();
        if (!BodyComponent::Listens(a) && !BodyComponent::Listens(b))
            continue;
        Touch touch;
        if (!OwnerOf(a, ground, touch.pair.low) || !OwnerOf(b, ground, touch.pair.high))
            continue;
        touch.contact = ContactOf(manifold);
        if (touch.pair.high.id < touch.pair.low.id) {
            std::swap(touch.pair.low, touch.pair.high);
            touch.contact = Reversed(touch.contact);
        }
        found.push_back(touch);
    }
    std::sort(found.begin(), found.end(),
              [](const Touch& x, const Touch& y) { return x.pair < y.pair; });
    // Compound shapes keep a manifold per child: one pair, the hardest hit.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < found.size(); ++i) {
        if (kept > 0 && found[kept - 1].pair == found[i].pair) {
            float& impulse = found[kept - 1].contact.impulse;
            impulse = std::max(impulse, found[i].contact.impulse);
        } else {
            found[kept++] = found[i];
        }
    }
    found.resize(kept);
}

void CollisionEvents::Scan(btDispatcher& dispatcher, const btCollisionObject* ground) {
    if (listeners == 0) {
        // Nobody is left to tell; a function set later starts from scratch.
        touching.clear();
        return;
    }
    Read(dispatcher, ground);
    std::vector<Pair> now;
    now.reserve(found.size());
    auto old = touching.begin();
    for (const Touch& touch : found) {
        for (; old != touching.end() && *old < touch.pair; ++old)
            QueueExit(*old, nullptr);
        if (old != touching.end() && *old == touch.pair)
            ++old;
        else
            QueueEnter(touch);
        now.push_back(touch.pair);
    }
    for (; old != touching.end(); ++old)
        QueueExit(*old, nullptr);
    touching.swap(now);
}

void CollisionEvents::QueueEnter(const Touch& touch) {
    const Pair& pair = touch.pair;
    pending.push_back({pair.low, pair.high, true, false, touch.contact, false, {}});
    if (pair.high.id != GameObject::kNoId)
        pending.push_back({pair.high, pair.low, true, false, Reversed(touch.contact), false, {}});
}

void CollisionEvents::QueueExit(const Pair& pair, const BodyComponent* departing) {
    QueueExitFor(pair.low, pair.high, departing);
    QueueExitFor(pair.high, pair.low, departing);
}

void CollisionEvents::QueueExitFor(const GameObject& self, const GameObject& other,
                                   const BodyComponent* departing) {
    if (self.id == GameObject::kNoId)
        return;
    // A side that has not been told of the touch yet is told nothing.
    const auto waiting = std::find_if(
        pending.begin() + static_cast<std::ptrdiff_t>(next), pending.end(), [&](const Event& e) {
            return e.enter && !e.cancelled && Same(e.self, self) && Same(e.other, other);
        });
    if (waiting != pending.end()) {
        waiting->cancelled = true;
        return;
    }
    Event ended{self, other, false, false, {}, false, {}};
    if (departing && Same(departing->owner, self)) {
        ended.departed = true;
        ended.function = departing->GetCollisionExitFunction();
    }
    pending.push_back(std::move(ended));
}

void CollisionEvents::Leave(const BodyComponent& body) {
    const GameObject self = body.owner;
    auto ends = [&](const Pair& pair) { return Same(pair.low, self) || Same(pair.high, self); };
    auto gone = std::stable_partition(touching.begin(), touching.end(),
                                      [&](const Pair& pair) { return !ends(pair); });
    if (gone == touching.end())
        return;
    const std::vector<Pair> ended(gone, touching.end());
    touching.erase(gone, touching.end());
    for (const Pair& pair : ended)
        QueueExit(pair, &body);
    Deliver();
}

void CollisionEvents::Deliver() {
    if (delivering)
        return; // the round under way makes the new calls too
    delivering = true;
    while (next < pending.size()) {
        const Event event = std::move(pending[next++]);
        if (!event.cancelled)
            Call(event);
    }
    pending.clear();
    next = 0;
    delivering = false;
}

void CollisionEvents::Call(const Event& event) const {
    const ScriptCallback* function = &event.function;
    if (!event.departed) {
        const BodyComponent* body = LiveBody(event.self);
        if (!body)
            return;
        function =
            event.enter ? &body->GetCollisionEnterFunction() : &body->GetCollisionExitFunction();
    }
    if (!function->IsFunction())
        return;
    const ScriptArg other =
        event.other.id == GameObject::kNoId ? ScriptArg() : ScriptArg(event.other);
    if (!event.enter) {
        function->Call({event.self, other});
        return;
    }
    // Lent for the call: a script that keeps it gets an error, not freed memory.
    CollisionContact contact = event.contact;
    function->Call({event.self, other, ScriptArg::Borrowed(&contact)});
}

void CollisionEvents::Clear() {
    touching.clear();
    found.clear();
    pending.clear();
    next = 0;
}
