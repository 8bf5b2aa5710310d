#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <iterator>

#include <SFML/Window/Keyboard.hpp>

// The engine's own key codes, independent of the windowing library's numbering: letters
// are the codes of 'a'..'z', digits those of '0'..'9', and every other key counts up from
// 256 (Escape = 256 ... Pause = 320, then the Count sentinel = 321). Scripts see them as
// the "Code" object; KeyboardMessage and IsKeyDown use them.

struct NamedCode {
    const char* name;
    std::uint32_t code;
};

constexpr std::uint32_t kKeyEscape = 256;
constexpr std::uint32_t kKeyPause = 320;
constexpr std::uint32_t kKeyCount = 321;
// What a key the engine has no code for is reported as; no name carries it.
constexpr std::uint32_t kKeyNone = 0;

constexpr std::size_t kKeyNameCount = 26 + 10 + (kKeyCount - kKeyEscape + 1);
constexpr std::size_t kMouseButtonNameCount = 6;

namespace keycodes_detail {

// Names of the keys numbered from 256, in code order. SFML numbers the same keys in the
// same order from sf::Keyboard::Escape, which the translation relies on.
inline constexpr const char* kSpecialKeyNames[] = {
    "Escape",   "LControl",  "LShift",   "LAlt",     "LSystem",   "RControl", "RShift",  "RAlt",
    "RSystem",  "Menu",      "LBracket", "RBracket", "SemiColon", "Comma",    "Period",  "Quote",
    "Slash",    "BackSlash", "Tilde",    "Equal",    "Dash",      "Space",    "Return",  "Back",
    "Tab",      "PageUp",    "PageDown", "End",      "Home",      "Insert",   "Delete",  "Add",
    "Subtract", "Multiply",  "Divide",   "Left",     "Right",     "Up",       "Down",    "Numpad0",
    "Numpad1",  "Numpad2",   "Numpad3",  "Numpad4",  "Numpad5",   "Numpad6",  "Numpad7", "Numpad8",
    "Numpad9",  "F1",        "F2",       "F3",       "F4",        "F5",       "F6",      "F7",
    "F8",       "F9",        "F10",      "F11",      "F12",       "F13",      "F14",     "F15",
    "Pause",    "Count",
};
static_assert(std::size(kSpecialKeyNames) == kKeyCount - kKeyEscape + 1,
              "one name per code from Escape to Count");

inline constexpr const char* kLetterNames[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",
                                               "J", "K", "L", "M", "N", "O", "P", "Q", "R",
                                               "S", "T", "U", "V", "W", "X", "Y", "Z"};
inline constexpr const char* kDigitNames[] = {"Num0", "Num1", "Num2", "Num3", "Num4",
                                              "Num5", "Num6", "Num7", "Num8", "Num9"};

constexpr std::array<NamedCode, kKeyNameCount> BuildKeyCodeTable() {
    std::array<NamedCode, kKeyNameCount> table{};
    std::size_t next = 0;
    for (std::uint32_t i = 0; i < 26; ++i)
        table[next++] = {kLetterNames[i], 'a' + i};
    for (std::uint32_t i = 0; i < 10; ++i)
        table[next++] = {kDigitNames[i], '0' + i};
    for (std::uint32_t code = kKeyEscape; code <= kKeyCount; ++code)
        table[next++] = {kSpecialKeyNames[code - kKeyEscape], code};
    return table;
}

inline constexpr std::array<NamedCode, kKeyNameCount> kKeyCodeTable = BuildKeyCodeTable();
inline constexpr std::array<NamedCode, kMouseButtonNameCount> kMouseButtonTable = {{
    {"Left", 0},
    {"Right", 1},
    {"Middle", 2},
    {"XButton1", 3},
    {"XButton2", 4},
    {"ButtonCount", 5},
}};

} // namespace keycodes_detail

// Every key name with its code, letters first, then digits, then the rest in code order.
// Known at compile time, so the script object "Code" is generated from it.
constexpr const std::array<NamedCode, kKeyNameCount>& KeyCodeTable() {
    return keycodes_detail::kKeyCodeTable;
}

// Mouse buttons as scripts see them ("Button"): Left 0 ... XButton2 4, ButtonCount 5.
constexpr const std::array<NamedCode, kMouseButtonNameCount>& MouseButtonTable() {
    return keycodes_detail::kMouseButtonTable;
}

// kKeyNone for sf::Keyboard::Unknown and anything else outside the named keys.
std::uint32_t KeyCodeFromSfml(sf::Keyboard::Key key);

// sf::Keyboard::Unknown for codes that name no key (including the Count sentinel), so the
// result is always safe to hand to sf::Keyboard::isKeyPressed.
sf::Keyboard::Key SfmlFromKeyCode(std::uint32_t code);
