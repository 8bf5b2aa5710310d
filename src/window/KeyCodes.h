#pragma once

#include <cstdint>
#include <vector>

#include <SFML/Window/Keyboard.hpp>

// The engine's own key codes, independent of the windowing library's numbering: letters
// are the codes of 'a'..'z', digits those of '0'..'9', and every other key counts up from
// 256 (Escape = 256 ... Pause = 320, then the Count sentinel = 321). Scripts see them as
// the "Code" object; KeyboardMessage and IsKeyDown use them.

struct NamedCode {
    const char* name;
    std::uint32_t code;
};

// Every key name with its code, letters first, then digits, then the rest in code order.
const std::vector<NamedCode>& KeyCodeTable();

// Mouse buttons as scripts see them ("Button"): Left 0 ... XButton2 4, ButtonCount 5.
const std::vector<NamedCode>& MouseButtonTable();

constexpr std::uint32_t kKeyEscape = 256;
constexpr std::uint32_t kKeyPause = 320;
constexpr std::uint32_t kKeyCount = 321;
// What a key the engine has no code for is reported as; no name carries it.
constexpr std::uint32_t kKeyNone = 0;

// kKeyNone for sf::Keyboard::Unknown and anything else outside the named keys.
std::uint32_t KeyCodeFromSfml(sf::Keyboard::Key key);

// sf::Keyboard::Unknown for codes that name no key (including the Count sentinel), so the
// result is always safe to hand to sf::Keyboard::isKeyPressed.
sf::Keyboard::Key SfmlFromKeyCode(std::uint32_t code);
