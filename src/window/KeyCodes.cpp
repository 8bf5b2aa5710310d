#include "window/KeyCodes.h"

namespace {

// Names of the keys numbered from 256, in code order. SFML numbers the same keys in the
// same order from sf::Keyboard::Escape, which the translation relies on.
const char* const kSpecialKeyNames[] = {
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

static_assert(sizeof kSpecialKeyNames / sizeof kSpecialKeyNames[0] == kKeyCount - kKeyEscape + 1,
              "one name per code from Escape to Count");
static_assert(sf::Keyboard::Pause - sf::Keyboard::Escape == kKeyPause - kKeyEscape,
              "the windowing library's keys from Escape to Pause line up with ours");
static_assert(sf::Keyboard::Z - sf::Keyboard::A == 25 &&
                  sf::Keyboard::Num9 - sf::Keyboard::Num0 == 9,
              "letters and digits are consecutive");

const char* const kLetterNames[] = {"A", "B", "C", "D", "E", "F", "G", "H", "I",
                                    "J", "K", "L", "M", "N", "O", "P", "Q", "R",
                                    "S", "T", "U", "V", "W", "X", "Y", "Z"};
const char* const kDigitNames[] = {"Num0", "Num1", "Num2", "Num3", "Num4",
                                   "Num5", "Num6", "Num7", "Num8", "Num9"};

std::vector<NamedCode> BuildKeyTable() {
    std::vector<NamedCode> table;
    for (std::uint32_t i = 0; i < 26; ++i)
        table.push_back({kLetterNames[i], 'a' + i});
    for (std::uint32_t i = 0; i < 10; ++i)
        table.push_back({kDigitNames[i], '0' + i});
    for (std::uint32_t code = kKeyEscape; code <= kKeyCount; ++code)
        table.push_back({kSpecialKeyNames[code - kKeyEscape], code});
    return table;
}

} // namespace

const std::vector<NamedCode>& KeyCodeTable() {
    static const std::vector<NamedCode> table = BuildKeyTable();
    return table;
}

const std::vector<NamedCode>& MouseButtonTable() {
    static const std::vector<NamedCode> table = {{"Left", 0},     {"Right", 1},
                                                 {"Middle", 2},   {"XButton1", 3},
                                                 {"XButton2", 4}, {"ButtonCount", 5}};
    return table;
}

std::uint32_t KeyCodeFromSfml(sf::Keyboard::Key key) {
    if (key >= sf::Keyboard::A && key <= sf::Keyboard::Z)
        return 'a' + static_cast<std::uint32_t>(key - sf::Keyboard::A);
    if (key >= sf::Keyboard::Num0 && key <= sf::Keyboard::Num9)
        return '0' + static_cast<std::uint32_t>(key - sf::Keyboard::Num0);
    if (key >= sf::Keyboard::Escape && key <= sf::Keyboard::Pause)
        return kKeyEscape + static_cast<std::uint32_t>(key - sf::Keyboard::Escape);
    return kKeyNone;
}

sf::Keyboard::Key SfmlFromKeyCode(std::uint32_t code) {
    if (code >= 'a' && code <= 'z')
        return static_cast<sf::Keyboard::Key>(sf::Keyboard::A + (code - 'a'));
    if (code >= '0' && code <= '9')
        return static_cast<sf::Keyboard::Key>(sf::Keyboard::Num0 + (code - '0'));
    if (code >= kKeyEscape && code <= kKeyPause)
        return static_cast<sf::Keyboard::Key>(sf::Keyboard::Escape + (code - kKeyEscape));
    return sf::Keyboard::Unknown;
}
