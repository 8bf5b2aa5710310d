#include "objects/ComponentStrings.h"

#include <algorithm>
#include <array>

#include "objects/ComponentTypes.h"

namespace {
// The list scripts see predates billboards and never gained them; everything
// else follows the registry.
constexpr auto kNames = [] {
    std::array<std::string_view, kComponentTypeCount - 1> names{};
    std::size_t n = 0;
    for (std::string_view name : kComponentTypeNames)
        if (name != "BillboardComponent")
            names[n++] = name;
    return names;
}();
} // namespace

std::string_view ComponentStrings::At(std::size_t index) {
    return index < kNames.size() ? kNames[index] : std::string_view();
}

std::size_t ComponentStrings::Size() {
    return kNames.size();
}

bool ComponentStrings::Find(std::string_view name) {
    return std::find(kNames.begin(), kNames.end(), name) != kNames.end();
}
