#include <map>
#include <string>

#include <gtest/gtest.h>

#include "window/KeyCodes.h"

TEST(KeyCodes, NamesAndCodes) {
    std::map<std::string, std::uint32_t> codes;
    for (const NamedCode& entry : KeyCodeTable())
        EXPECT_TRUE(codes.emplace(entry.name, entry.code).second) << "duplicate " << entry.name;
    EXPECT_EQ(codes.size(), 26u + 10u + 66u);
    const std::map<std::string, std::uint32_t> spots = {
        {"A", 97},          {"Z", 122},    {"Num0", 48},    {"Num9", 57},   {"Escape", 256},
        {"SemiColon", 268}, {"Dash", 276}, {"Return", 278}, {"Left", 291},  {"Up", 293},
        {"Numpad0", 295},   {"F1", 305},   {"F15", 319},    {"Pause", 320}, {"Count", 321}};
    for (const auto& [name, code] : spots)
        EXPECT_EQ(codes.at(name), code) << name;
    EXPECT_EQ(MouseButtonTable().back().code, 5u);
    EXPECT_STREQ(MouseButtonTable()[3].name, "XButton1");
}

TEST(KeyCodes, TranslationToAndFromTheWindowingLibrary) {
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Backslash), 273u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Backspace), 279u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Numpad0), 295u);
    EXPECT_EQ(SfmlFromKeyCode('q'), sf::Keyboard::Q);
    EXPECT_EQ(SfmlFromKeyCode(320), sf::Keyboard::Pause);

    for (const NamedCode& entry : KeyCodeTable()) {
        if (entry.code == kKeyCount)
            continue;
        EXPECT_EQ(KeyCodeFromSfml(SfmlFromKeyCode(entry.code)), entry.code) << entry.name;
    }
    for (int key = 0; key < sf::Keyboard::KeyCount; ++key)
        EXPECT_EQ(SfmlFromKeyCode(KeyCodeFromSfml(sf::Keyboard::Key(key))), key);

    // Codes that name no key, the Count sentinel included, never reach the library as keys.
    for (std::uint32_t code : {0u, 47u, 58u, 96u, 123u, 255u, 321u, 322u, 0xFFFFFFFFu})
        EXPECT_EQ(SfmlFromKeyCode(code), sf::Keyboard::Unknown) << code;
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Unknown), kKeyNone);
}
