#include "objects/ComponentStrings.h"

#include <string>

#include "script/ScriptClass.h"

namespace {
// An index outside the list gives the empty string.
std::string At(int32_t index) {
    return index < 0 ? std::string() : std::string(ComponentStrings::At(std::size_t(index)));
}
uint32_t Size() {
    return static_cast<uint32_t>(ComponentStrings::Size());
}
bool Find(const std::string& name) {
    return ComponentStrings::Find(name);
}

using S = script::ScriptClass<ComponentStrings>;
const S componentStringsClass("ComponentStrings", {
                                                      S::Function<&At>("At").Args("index"),
                                                      S::Function<&Size>("Size"),
                                                      S::Function<&Find>("Find").Args("name"),
                                                  });
} // namespace
