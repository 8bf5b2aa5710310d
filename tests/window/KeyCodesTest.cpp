#include <map>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "window/KeyCodes.h"

namespace {
std::map<std::string, std::uint32_t> ByName(const std::vector<NamedCode>& table) {
    std::map<std::string, std::uint32_t> names;
    for (const NamedCode& entry : table)
        EXPECT_TRUE(names.emplace(entry.name, entry.code).second) << "duplicate " << entry.name;
    return names;
}
} // namespace

TEST(KeyCodes, TableHoldsEveryNameWithItsCode) {
    const auto& table = KeyCodeTable();
    ASSERT_EQ(table.size(), 26u + 10u + 66u);
    const auto names = ByName(table);
    EXPECT_EQ(names.at("A"), 97u);
    EXPECT_EQ(names.at("Z"), 122u);
    EXPECT_EQ(names.at("Num0"), 48u);
    EXPECT_EQ(names.at("Num9"), 57u);
    EXPECT_EQ(names.at("Escape"), 256u);
    EXPECT_EQ(names.at("SemiColon"), 268u);
    EXPECT_EQ(names.at("Dash"), 276u);
    EXPECT_EQ(names.at("Return"), 278u);
    EXPECT_EQ(names.at("Back"), 279u);
    EXPECT_EQ(names.at("Left"), 291u);
    EXPECT_EQ(names.at("Up"), 293u);
    EXPECT_EQ(names.at("Numpad0"), 295u);
    EXPECT_EQ(names.at("F1"), 305u);
    EXPECT_EQ(names.at("F15"), 319u);
    EXPECT_EQ(names.at("Pause"), 320u);
    EXPECT_EQ(names.at("Count"), 321u);
    // Codes from 256 are consecutive in table order.
    for (std::size_t i = 36; i < table.size(); ++i)
        EXPECT_EQ(table[i].code, 256u + (i - 36)) << table[i].name;
}

TEST(KeyCodes, MouseButtons) {
    const auto names = ByName(MouseButtonTable());
    EXPECT_EQ(names, (std::map<std::string, std::uint32_t>{{"Left", 0},
                                                           {"Right", 1},
                                                           {"Middle", 2},
                                                           {"XButton1", 3},
                                                           {"XButton2", 4},
                                                           {"ButtonCount", 5}}));
}

TEST(KeyCodes, TranslationMatchesTheWindowingLibrary) {
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::A), 97u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Num5), 53u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Escape), 256u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Semicolon), 268u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Backslash), 273u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Hyphen), 276u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Enter), 278u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Backspace), 279u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Left), 291u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Up), 293u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Numpad0), 295u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::F1), 305u);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Pause), 320u);
}

TEST(KeyCodes, EveryKeyRoundTripsAndNothingElseMapsToAKey) {
    std::set<std::uint32_t> named;
    for (const NamedCode& entry : KeyCodeTable()) {
        named.insert(entry.code);
        if (entry.code == kKeyCount)
            continue;
        const sf::Keyboard::Key key = SfmlFromKeyCode(entry.code);
        EXPECT_NE(key, sf::Keyboard::Unknown) << entry.name;
        EXPECT_EQ(KeyCodeFromSfml(key), entry.code) << entry.name;
    }
    for (int key = 0; key < sf::Keyboard::KeyCount; ++key)
        EXPECT_EQ(SfmlFromKeyCode(KeyCodeFromSfml(static_cast<sf::Keyboard::Key>(key))), key);

    // Count is a sentinel, not a key; codes outside the table name no key.
    EXPECT_EQ(SfmlFromKeyCode(kKeyCount), sf::Keyboard::Unknown);
    for (std::uint32_t code = 0; code < 1000; ++code) {
        if (!named.count(code)) {
            EXPECT_EQ(SfmlFromKeyCode(code), sf::Keyboard::Unknown) << code;
        }
    }
    EXPECT_EQ(SfmlFromKeyCode(0xFFFFFFFFu), sf::Keyboard::Unknown);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Unknown), kKeyNone);
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::KeyCount), kKeyNone);
}
