#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

#include "script/ScriptCallback.h"

// Script functions kept in the order they were added, each at most once, as
// browsers keep event listeners. Adding, finding and removing one costs the
// same however many there are: the functions are told apart by identity in a
// script Map, which keeps working when the collector moves them.
//
// Every addition gets an entry number of its own. A caller that calls the
// functions takes the numbers first (GetEntries) and skips those gone since
// (Get answers null), so a function removed and added again while the others
// run waits, as a new listener does.
class ScriptCallbackSet {
  public:
    // False when the function is already there, or with a script error pending
    // (out of memory, no script engine).
    bool Add(const ScriptCallback& function);
    // False when it was not there.
    bool Remove(const ScriptCallback& function);
    void Clear();

    std::size_t GetCount() const { return functions.size(); }
    std::vector<std::uint64_t> GetEntries() const;
    const ScriptCallback* Get(std::uint64_t entry) const;

  private:
    // The Map from each function to its entry number, made on first use.
    bool MakeIndex();

    ScriptCallback index;
    std::map<std::uint64_t, ScriptCallback> functions;
    std::uint64_t nextEntry = 1;
};
