#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <SFML/Window/Event.hpp>
#include <SFML/Window/Keyboard.hpp>

// One definition text as engine parts and tools send it to the tweak panels:
//   'bar name' position='10 20' size='200 300' refresh=.5
//   'bar name'/'control' label='Save' key=CTRL+s
//    key=CTRL+s                  (a control's own definition names nothing)
// Names and values may be quoted with ' " or `; parameter names are case-insensitive
// and come back in lower case.
struct TweakDefinition {
    std::string barName;
    std::string controlName;
    std::vector<std::pair<std::string, std::string>> parameters;
};

// `namesTarget` says whether the text starts with the bar (and maybe control) it is
// about. On failure `error` says what was expected and where.
bool ParseTweakDefinition(std::string_view text, bool namesTarget, TweakDefinition& out,
                          std::string& error);

// "true"/"false", "1"/"0".
std::optional<bool> ParseTweakBool(std::string_view text);
// Exactly two whitespace-separated integers, as position and size take them.
std::optional<std::pair<long, long>> ParseTweakPair(std::string_view text);
// One decimal number (".5" included).
std::optional<double> ParseTweakNumber(std::string_view text);

// A keyboard shortcut such as "CTRL+s", "x", "DELETE", "ESC", "SHIFT+F1", "ALT+CTRL+z".
// An upper-case letter stands for SHIFT and that letter.
struct TweakShortcut {
    sf::Keyboard::Key key = sf::Keyboard::Unknown;
    bool ctrl = false;
    bool alt = false;
    bool shift = false;

    bool Matches(const sf::Event::KeyEvent& event) const;
};

std::optional<TweakShortcut> ParseTweakShortcut(std::string_view text);
