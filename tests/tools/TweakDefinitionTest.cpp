#include <gtest/gtest.h>

#include "tools/TweakDefinition.h"

namespace {

using Parameters = std::vector<std::pair<std::string, std::string>>;

TEST(TweakDefinition, ReadsTargetsValuesAndShortcutsAndReportsWhereItFails) {
    TweakDefinition d;
    std::string error;
    ASSERT_TRUE(ParseTweakDefinition("'stats' position='10 20' size='200 300'", true, d, error));
    EXPECT_EQ(d.barName, "stats");
    EXPECT_EQ(d.controlName, "");
    EXPECT_EQ(d.parameters, (Parameters{{"position", "10 20"}, {"size", "200 300"}}));

    // Bar names with spaces, a control after '/', bare and double-quoted values,
    // parameter names in any case.
    ASSERT_TRUE(ParseTweakDefinition(" 'systems profile'/\"frame rate\" Refresh=.5  label=\"A b\" "
                                     "key=CTRL+s",
                                     true, d, error));
    EXPECT_EQ(d.barName, "systems profile");
    EXPECT_EQ(d.controlName, "frame rate");
    EXPECT_EQ(d.parameters, (Parameters{{"refresh", ".5"}, {"label", "A b"}, {"key", "CTRL+s"}}));

    // A control's own definition names nothing.
    ASSERT_TRUE(ParseTweakDefinition(" key=CTRL+s", false, d, error));
    EXPECT_EQ(d.parameters, (Parameters{{"key", "CTRL+s"}}));
    ASSERT_TRUE(ParseTweakDefinition("   ", false, d, error));
    EXPECT_TRUE(d.parameters.empty());

    EXPECT_FALSE(ParseTweakDefinition("'stats' label='open", true, d, error));
    EXPECT_NE(error.find("not closed"), std::string::npos) << error;
    EXPECT_FALSE(ParseTweakDefinition("'stats' visible", true, d, error));
    EXPECT_NE(error.find("'visible' has no '='"), std::string::npos) << error;
    for (const char* bad : {"'stats' size=", "", "'stats' =3"})
        EXPECT_FALSE(ParseTweakDefinition(bad, true, d, error)) << bad;

    EXPECT_EQ(ParseTweakPair(" 10  20 "), std::make_pair(10L, 20L));
    for (const char* bad : {"10", "10 20 30", "ten 20"})
        EXPECT_FALSE(ParseTweakPair(bad)) << bad;
    EXPECT_EQ(ParseTweakNumber(".5"), 0.5);
    EXPECT_FALSE(ParseTweakNumber("0.5s"));
    EXPECT_EQ(ParseTweakBool("FALSE"), false);
    EXPECT_EQ(ParseTweakBool("1"), true);
    EXPECT_FALSE(ParseTweakBool("yes"));

    // Shortcuts name keys with modifiers and match only that combination.
    const auto ctrlS = ParseTweakShortcut("CTRL+s");
    ASSERT_TRUE(ctrlS);
    sf::Event::KeyEvent press{sf::Keyboard::S, false, true, false, false};
    EXPECT_TRUE(ctrlS->Matches(press));
    press.shift = true;
    EXPECT_FALSE(ctrlS->Matches(press)) << "modifiers must match exactly";
    press = {sf::Keyboard::S, false, false, false, false};
    EXPECT_FALSE(ctrlS->Matches(press));

    const struct {
        const char* text;
        sf::Keyboard::Key key;
        bool ctrl, alt, shift;
    } cases[] = {
        {"x", sf::Keyboard::X, false, false, false},
        {"ESC", sf::Keyboard::Escape, false, false, false},
        {"S", sf::Keyboard::S, false, false, true},
        {"alt+ctrl+F12", sf::Keyboard::F12, true, true, false},
        {"SHIFT+7", sf::Keyboard::Num7, false, false, true},
        {"CTRL++", sf::Keyboard::Add, true, false, false},
        {"pgdown", sf::Keyboard::PageDown, false, false, false},
    };
    for (const auto& c : cases) {
        const auto shortcut = ParseTweakShortcut(c.text);
        ASSERT_TRUE(shortcut) << c.text;
        EXPECT_EQ(shortcut->key, c.key) << c.text;
        EXPECT_EQ(std::make_tuple(shortcut->ctrl, shortcut->alt, shortcut->shift),
                  std::make_tuple(c.ctrl, c.alt, c.shift))
            << c.text;
    }
    for (const char* bad : {"", "CTRL+", "HYPER+s", "F16", "F0", "sx", "é"})
        EXPECT_FALSE(ParseTweakShortcut(bad)) << bad;
}

} // namespace
