#pragma once

#include <string>

#include <glm/vec2.hpp>

// The point of the window a HUD element's position is measured from, so that an element
// kept at a corner or an edge stays there whatever size the window takes.
enum class ScreenAnchor {
    Center,
    TopLeft,
    Top,
    TopRight,
    Left,
    Right,
    BottomLeft,
    Bottom,
    BottomRight
};

// What the API reference says of the script properties.
constexpr const char* kScreenAnchorNote =
    "the point of the window the position is measured from (x right, y up): \"center\", "
    "\"top-left\", \"top\", \"top-right\", \"left\", \"right\", \"bottom-left\", "
    "\"bottom\" or \"bottom-right\"";
constexpr const char* kTextAlignNote =
    "which part of the text the position gives: \"left\" (its start), \"center\" or "
    "\"right\" (its end)";

// Which end of a line of text its position gives.
enum class TextAlign { Left, Center, Right };

// The anchor's point in a window of `size` pixels, origin at the lower left, y up.
glm::vec2 AnchorPoint(ScreenAnchor anchor, glm::vec2 size);

// The names scripts use ("top-left", "center"); a name that is none of them throws
// std::invalid_argument naming it and the ones there are.
std::string NameOf(ScreenAnchor anchor);
ScreenAnchor ScreenAnchorNamed(const std::string& name);
std::string NameOf(TextAlign align);
TextAlign TextAlignNamed(const std::string& name);

// The script accessors of an `anchor` field by name, shared by every binding that has one.
template <class T> std::string GetAnchorName(const T& owner) {
    return NameOf(owner.anchor);
}
template <class T> void SetAnchorName(T& owner, const std::string& name) {
    owner.anchor = ScreenAnchorNamed(name);
}
