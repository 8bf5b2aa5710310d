// Script class "Storage" and its one object, the global localStorage, with
// the members browsers give it.

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "script/LocalStorage.h"
#include "script/ScriptClass.h"
#include "script/ScriptErrors.h"
#include "script/ScriptHost.h"

namespace {

using script::TextOf;

std::optional<TextOf> Found(std::optional<std::u16string> text) {
    if (!text)
        return std::nullopt;
    return TextOf{std::move(*text)};
}

std::optional<TextOf> GetItem(LocalStorage& store, TextOf key) {
    return Found(store.GetItem(key.units));
}

void SetItem(LocalStorage& store, TextOf key, TextOf value) {
    if (store.SetItem(key.units, value.units))
        return;
    script::ThrowNamedError(ScriptHost::Instance().GetContext(), "QuotaExceededError",
                            "Storage.setItem: " + std::to_string(key.units.size()) + " + " +
                                std::to_string(value.units.size()) +
                                " UTF-16 code units of key and value would take the store "
                                "over its quota of " +
                                std::to_string(LocalStorage::kQuotaUnits) + " (it holds " +
                                std::to_string(store.GetUsedUnits()) + "); nothing was stored");
}

void RemoveItem(LocalStorage& store, TextOf key) {
    store.RemoveItem(key.units);
}

void Clear(LocalStorage& store) {
    store.Clear();
}

// The index as browsers take it (an unsigned long): fractions dropped, wrapped
// modulo 2^32, NaN and infinities 0.
std::optional<TextOf> Key(LocalStorage& store, double index) {
    const double whole = std::isfinite(index) ? std::trunc(index) : 0.0;
    const double wrapped = whole - 4294967296.0 * std::floor(whole / 4294967296.0);
    return Found(store.Key(static_cast<std::size_t>(wrapped)));
}

std::uint32_t GetLength(LocalStorage& store) {
    return static_cast<std::uint32_t>(store.GetLength());
}

script::ClassOptions<LocalStorage> Options() {
    script::ClassOptions<LocalStorage> options;
    options.globalName = "localStorage";
    options.global = [] { return &LocalStorage::Instance(); };
    return options;
}

using S = script::ScriptClass<LocalStorage>;
const S storageClass(
    "Storage",
    {
        S::Property<&GetLength, nullptr>("length").Noted("how many keys the store holds"),
        S::Method<&GetItem>("getItem").Args("key").Noted(
            "the value stored under the key, or null when there is none; a key that is no "
            "string is taken as String() makes it"),
        S::Method<&SetItem>("setItem")
            .Args("key, value")
            .Noted("stores the value under the key, both taken as String() makes them, saved at "
                   "the end of the frame; over the quota of 5 MiB (UTF-16 code units of keys and "
                   "values) it throws an error named QuotaExceededError and the store keeps what "
                   "it held"),
        S::Method<&RemoveItem>("removeItem")
            .Args("key")
            .Noted("removes the key, taken as String() makes it"),
        S::Method<&Clear>("clear").Noted("removes every key"),
        S::Method<&Key>("key").Args("index").Noted(
            "the key at the index (0 to length - 1) in the store's order, or null past the end"),
    },
    Options());

} // namespace
