// The engine's key and button codes, their translation to and from the
// windowing library, and their names in scripts.
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "script/ScriptTestSupport.h"
#include "window/KeyCodes.h"

namespace {

// Needs no display: the names are fixed when the engine is built.
using KeyCodes = ScriptTest;

TEST_F(KeyCodes, NamesAreUniqueCodesTranslateBothWaysAndScriptsReadThemReadOnly) {
    std::set<std::string> names;
    for (const NamedCode& entry : KeyCodeTable()) {
        EXPECT_TRUE(names.insert(entry.name).second) << "duplicate " << entry.name;
        if (entry.code != kKeyCount) {
            EXPECT_EQ(KeyCodeFromSfml(SfmlFromKeyCode(entry.code)), entry.code) << entry.name;
        }
    }
    for (int key = 0; key < sf::Keyboard::KeyCount; ++key)
        EXPECT_EQ(SfmlFromKeyCode(KeyCodeFromSfml(sf::Keyboard::Key(key))), key);

    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Backslash), 273u);
    EXPECT_EQ(SfmlFromKeyCode(320), sf::Keyboard::Pause);
    // Codes that name no key, the Count sentinel included, never reach the library as keys.
    for (std::uint32_t code : {0u, 47u, 58u, 96u, 123u, 255u, 321u, 322u, 0xFFFFFFFFu})
        EXPECT_EQ(SfmlFromKeyCode(code), sf::Keyboard::Unknown) << code;
    EXPECT_EQ(KeyCodeFromSfml(sf::Keyboard::Unknown), kKeyNone);

    // Code and Button carry the engine codes to scripts, read-only.
    EXPECT_EQ(Eval("[Code.Escape, Code.A, Code.Num0, Code.SemiColon, Code.Numpad0, Code.Count,"
                   " Object.getOwnPropertyNames(Code).length, Button.Middle, Button.ButtonCount,"
                   " Object.getOwnPropertyNames(Button).length].join()"),
              "256,97,48,268,295,321,102,2,5,6");
    // An assignment is accepted and changes nothing, strict code included.
    EXPECT_EQ(Eval("Code.A = 5; Button.Middle = 7; [Code.A, Button.Middle,"
                   " (function() { 'use strict'; Code.Escape = 1; return Code.Escape; })()]"),
              "97,2,256");
}

} // namespace
