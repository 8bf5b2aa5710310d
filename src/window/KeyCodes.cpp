#include "window/KeyCodes.h"

// The translation relies on SFML numbering the keys from Escape to Pause in the same order
// as the engine does from 256.
static_assert(sf::Keyboard::Pause - sf::Keyboard::Escape == kKeyPause - kKeyEscape,
              "the windowing library's keys from Escape to Pause line up with ours");
static_assert(sf::Keyboard::Z - sf::Keyboard::A == 25 &&
                  sf::Keyboard::Num9 - sf::Keyboard::Num0 == 9,
              "letters and digits are consecutive");

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
