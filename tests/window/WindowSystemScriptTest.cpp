// The window system as scripts see it: the WindowSystem object, its VidMode
// copies, and the Code and Button names.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <SFML/Window/VideoMode.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

#include "core/Core.h"
#include "script/ScriptTestSupport.h"
#include "window/KeyCodes.h"
#include "window/WindowTestSupport.h"

namespace {

namespace fs = std::filesystem;

// Needs no display: the names are fixed when the engine is built.
using WindowNames = ScriptTest;

TEST_F(WindowNames, CodeAndButtonCarryTheEngineCodes) {
    EXPECT_EQ(Eval("[Code.Escape, Code.A, Code.Z, Code.Num0, Code.Left, Code.Numpad0, Code.F1,"
                   " Code.Pause, Code.Count].join()"),
              "256,97,122,48,291,295,305,320,321");
    EXPECT_EQ(Eval("[Button.Left, Button.Middle, Button.XButton2, Button.ButtonCount].join()"),
              "0,2,4,5");

    // Every name of the engine's tables, with its code, and no other.
    std::string names;
    std::string codes;
    for (const NamedCode& entry : KeyCodeTable()) {
        names += std::string(names.empty() ? "" : ",") + "'" + entry.name + "'";
        codes += (codes.empty() ? "" : ",") + std::to_string(entry.code);
    }
    EXPECT_EQ(Eval("[" + names + "].map(function(n) { return Code[n]; }).join()"), codes);
    EXPECT_EQ(Eval("Object.getOwnPropertyNames(Code).length"), std::to_string(kKeyNameCount));
    EXPECT_EQ(Eval("Object.getOwnPropertyNames(Button).length"),
              std::to_string(kMouseButtonNameCount));

    // Read-only: an assignment is accepted and changes nothing, strict code included.
    EXPECT_EQ(Eval("Code.A = 5; Button.Middle = 7; [Code.A, Button.Middle].join()"), "97,2");
    EXPECT_EQ(Eval("(function() { 'use strict'; Code.Escape = 1; return Code.Escape; })()"), "256");
}

// Start-up through the real core, with start-up scripts of the test's own.
class WindowSystemScript : public WindowTest, protected ScriptRunner {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        if (IsSkipped())
            return;
        dir = fs::temp_directory_path() / ("marrowvale-window-" + std::to_string(::getpid()));
        fs::create_directories(dir / "Scripts");
    }
    void TearDown() override {
        if (!dir.empty())
            fs::remove_all(dir);
    }

    void StartUp(const std::string& startup) {
        std::ofstream(dir / "Scripts" / "startup.js") << startup;
        std::ofstream(dir / "Scripts" / "postInit.js") << "";
        Core::Instance().SetResourceDir(dir.string());
        Core::Instance().Init();
        ASSERT_EQ(Eval("var ws = Core.Instance().WindowSystem_; typeof ws"), "object");
    }

    fs::path dir;
};

// The window's title as the X server knows it: xdotool finds windows by name.
bool XServerKnowsTitle(const std::string& title, unsigned long windowId) {
    const std::string command = "xdotool search --name '^" + title + "$' 2>/dev/null";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return false;
    std::string found;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe))
        found += buffer;
    ::pclose(pipe);
    return found.find(std::to_string(windowId) + "\n") != std::string::npos;
}

TEST_F(WindowSystemScript, StartupScriptSettingsShapeTheWindow) {
    const std::string title = "Marrowvale window test " + std::to_string(::getpid());
    StartUp("var ws = Core.Instance().WindowSystem_;"
            "ws.title = '" +
            title +
            "';"
            "ws.initialWidth = 640; ws.initialHeight = 480;"
            "ws.debugDraw = true; ws.handleTweakBarMessages = false;"
            "ws.preserveOpenGLStates = true; ws.textOffset = [2.5, -6];");
    ASSERT_TRUE(window->IsOpen());
    EXPECT_EQ(Eval("[ws.GetWidth(), ws.GetHeight()].join()"), "640,480");
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(640, 480));
    EXPECT_EQ(Eval("var m = ws.GetCurrentVideoMode(); [m.width, m.height, m.bpp].join()"),
              "640,480,32");
    EXPECT_EQ(Eval("ws.debugDraw"), "false") << "start-up clears it";
    EXPECT_EQ(Eval("[ws.title, ws.handleTweakBarMessages, ws.preserveOpenGLStates,"
                   " ws.fullScreen, ws.textOffset].join()"),
              title + ",false,true,false,2.5,-6");
    EXPECT_EQ(window->textOffset, sf::Vector2f(2.5f, -6.0f));

    if (std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "xdotool is not installed; the title was not checked on the server";
    // The windowing library's requests reach the server as its queue is flushed.
    const unsigned long id = window->GetWindow().getSystemHandle();
    EXPECT_TRUE(PumpUntil([&] { return XServerKnowsTitle(title, id); }));
}

TEST_F(WindowSystemScript, VideoModesAreCopiesAndBadCallsDoNothing) {
    StartUp("");
    const sf::VideoMode first = window->GetVideoMode(0);
    ASSERT_GE(window->NumVideoModes(), 1u);
    EXPECT_EQ(Eval("ws.NumVideoModes()"), std::to_string(window->NumVideoModes()));
    EXPECT_EQ(Eval("var m = ws.GetVideoMode(0); [m.width, m.height, m.bpp].join()"),
              std::to_string(first.width) + "," + std::to_string(first.height) + ",32");
    // The script's copy is its own.
    EXPECT_EQ(Eval("m.width = 1; m.bpp = 16; [m.width, m.bpp, ws.GetVideoMode(0).width].join()"),
              "1,16," + std::to_string(first.width));
    EXPECT_EQ(Eval("String(m) + (Object.getPrototypeOf(m) === VidMode)"), "[object VidMode]true");
    EXPECT_EQ(Eval("var z = ws.GetVideoMode(999); [z.width, z.height, z.bpp].join()"), "0,0,0");
    EXPECT_EQ(ErrorOf("VidMode.width"),
              "test.js:0:Error, Private data could not be retrieved in JSGet_width.");

    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    EXPECT_EQ(Eval("[ws.DesktopWidth(), ws.DesktopHeight()].join()"),
              std::to_string(desktop.width) + "," + std::to_string(desktop.height));

    // Another argument count returns undefined and changes nothing.
    const unsigned width = window->GetWidth();
    EXPECT_EQ(Eval("[ws.GetVideoMode(), ws.GetVideoMode(0, 1), ws.GetWidth(1), ws.IsKeyDown(),"
                   " ws.SetVideoMode(800, 600), ws.ToggleFullScreen(true), ws.GetMousePos(0)]"
                   ".map(String).join()"),
              "undefined,undefined,undefined,undefined,undefined,undefined,undefined");
    EXPECT_EQ(window->GetWidth(), width);
    EXPECT_FALSE(window->fullScreen);

    EXPECT_EQ(Eval("ws.SetVideoMode(800, 600, 32); var c = ws.GetCurrentVideoMode();"
                   "[ws.GetWidth(), ws.GetHeight(), c.width, c.height].join()"),
              "800,600,800,600");
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(800, 600));
}

} // namespace
