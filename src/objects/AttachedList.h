#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

// The ids of one store's attached slots, ascending, so that a per-frame walk costs what
// the attached components cost and not what the store held at its busiest: stores never
// shrink (slot i stays object i's), and a level that once held 100,000 objects would
// otherwise make every later frame step over all of their slots.
//
// Kept lazily. A detach only counts; an attach above the highest listed id appends; an
// attach below it waits in `pending`. Normalize() drops detached ids and merges what
// waits, and changes Layout() so that a walk in progress can find its place again.
class AttachedList {
  public:
    void Grow() { listed.push_back(0); }

    // A slot's flag went from detached to attached.
    void Attach(std::uint32_t id) {
        if (id >= listed.size())
            listed.resize(id + std::size_t(1), 0);
        if (listed[id]) { // still listed from before its detach
            if (detached > 0)
                --detached;
            return;
        }
        listed[id] = 1;
        if (ids.empty() || id > ids.back())
            ids.push_back(id);
        else
            pending.push_back(id);
    }

    // A slot's flag went from attached to detached.
    void Detach() { ++detached; }

    // Brings the list to exactly the ids for which `isAttached` holds, ascending.
    template <class IsAttached> void Normalize(IsAttached&& isAttached) {
        if (pending.empty() && detached == 0)
            return;
        auto drop = [&](std::vector<std::uint32_t>& from) {
            from.erase(std::remove_if(from.begin(), from.end(),
                                      [&](std::uint32_t id) {
                                          if (isAttached(id))
                                              return false;
                                          listed[id] = 0;
                                          return true;
                                      }),
                       from.end());
        };
        drop(ids);
        drop(pending);
        if (!pending.empty()) {
            std::sort(pending.begin(), pending.end());
            const std::size_t middle = ids.size();
            ids.insert(ids.end(), pending.begin(), pending.end());
            std::inplace_merge(ids.begin(), ids.begin() + static_cast<std::ptrdiff_t>(middle),
                               ids.end());
            pending.clear();
        }
        detached = 0;
        ++layout;
    }

    // Whether an attach waits to be merged with an id strictly between the two.
    bool HasPendingBetween(std::uint32_t low, std::size_t high) const {
        for (std::uint32_t id : pending)
            if (id > low && id < high)
                return true;
        return false;
    }

    // Position of the first id above `id`.
    std::size_t After(std::uint32_t id) const {
        return static_cast<std::size_t>(std::upper_bound(ids.begin(), ids.end(), id) - ids.begin());
    }

    const std::vector<std::uint32_t>& Ids() const { return ids; }
    std::uint64_t Layout() const { return layout; }

    // Every slot is gone; with `release`, the memory goes too.
    void Clear(bool release) {
        if (release) {
            std::vector<std::uint32_t>().swap(ids);
            std::vector<std::uint32_t>().swap(pending);
            std::vector<std::uint8_t>().swap(listed);
        } else {
            ids.clear();
            pending.clear();
            listed.clear();
        }
        detached = 0;
        ++layout;
    }

  private:
    std::vector<std::uint32_t> ids;     // ascending; may still hold detached ids
    std::vector<std::uint32_t> pending; // attached below ids.back(), not merged yet
    std::vector<std::uint8_t> listed;   // by id: in `ids` or in `pending`
    std::size_t detached = 0;           // listed ids detached since the last Normalize
    std::uint64_t layout = 0;
};
