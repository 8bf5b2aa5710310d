#include "graphics/ScreenAnchor.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace {

struct AnchorEntry {
    const char* name;
    glm::vec2 fraction; // of the window's width and height, from the lower left
};

// In enum order.
const std::array<AnchorEntry, 9> kAnchors = {{
    {"center", {0.5f, 0.5f}},
    {"top-left", {0.0f, 1.0f}},
    {"top", {0.5f, 1.0f}},
    {"top-right", {1.0f, 1.0f}},
    {"left", {0.0f, 0.5f}},
    {"right", {1.0f, 0.5f}},
    {"bottom-left", {0.0f, 0.0f}},
    {"bottom", {0.5f, 0.0f}},
    {"bottom-right", {1.0f, 0.0f}},
}};

const std::array<const char*, 3> kAligns = {"left", "center", "right"};

template <class Names, class NameOf>
[[noreturn]] void Refuse(const char* what, const std::string& name, const Names& names,
                         NameOf nameOf) {
    std::string allowed;
    for (const auto& entry : names)
        allowed += std::string(allowed.empty() ? "\"" : ", \"") + nameOf(entry) + "\"";
    throw std::invalid_argument("\"" + name + "\" is no " + what + "; it is one of " + allowed);
}

} // namespace

glm::vec2 AnchorPoint(ScreenAnchor anchor, glm::vec2 size) {
    return size * kAnchors[static_cast<std::size_t>(anchor)].fraction;
}

std::string NameOf(ScreenAnchor anchor) {
    return kAnchors[static_cast<std::size_t>(anchor)].name;
}

ScreenAnchor ScreenAnchorNamed(const std::string& name) {
    for (std::size_t i = 0; i < kAnchors.size(); ++i)
        if (name == kAnchors[i].name)
            return static_cast<ScreenAnchor>(i);
    Refuse("anchor", name, kAnchors, [](const AnchorEntry& entry) { return entry.name; });
}

std::string NameOf(TextAlign align) {
    return kAligns[static_cast<std::size_t>(align)];
}

TextAlign TextAlignNamed(const std::string& name) {
    for (std::size_t i = 0; i < kAligns.size(); ++i)
        if (name == kAligns[i])
            return static_cast<TextAlign>(i);
    Refuse("text alignment", name, kAligns, [](const char* entry) { return entry; });
}
