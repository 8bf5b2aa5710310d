#pragma once

#include <cstddef>
#include <string_view>

// The component type names offered to scripts by index. The list is fixed and
// deliberately lacks "BillboardComponent": scripts already depend on its
// indices and length, so it must stay exactly as it is.
class ComponentStrings {
  public:
    // The name at `index`, or an empty string when there is none.
    static std::string_view At(std::size_t index);
    static std::size_t Size();
    // Exact, case-sensitive match against the list.
    static bool Find(std::string_view name);
};
