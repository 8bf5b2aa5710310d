// The window system, from the engine and from scripts.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

#include "messaging/Message.h"
#include "script/ScriptTestSupport.h"
#include "window/WindowTestSupport.h"

// Last: its macros (None, Status, ...) clash with names in the SFML headers.
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

// A folder of the test's own that is the working folder while it lives.
struct WorkingFolder : TempFolder {
    WorkingFolder() { fs::current_path(path); }
    ~WorkingFolder() { fs::current_path(previous); }
    const fs::path previous = fs::current_path();
};

class WindowSystemTest : public WindowTest, protected ScriptRunner {};

// The 1280 x 800 x 24 Xvfb screen offers its one size at every depth, 32 bits
// first, so the default choice is the whole screen. Scripts then shape the window and
// get video modes as copies.
TEST_F(WindowSystemTest, ModesAreChosenScriptsShapeTheWindowClosingItQuitsAndFontsAreCached) {
    testing::internal::CaptureStdout();
    window->PrintAvailableVideoModes(); // every mode, then an empty line
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("mode 0: 1280 x 800 32bit\nmode 1: 1280 x 800 24bit\n", 0), 0u) << out;
    EXPECT_EQ(out.substr(out.size() - 2), "\n\n");

    window->debugDraw = true;    // as a start-up script might
    window->initialWidth = 1024; // a width alone is no request
    window->Initialize();
    EXPECT_EQ(window->GetCurrentVideoMode(), sf::VideoMode(1280, 800, 32));
    EXPECT_FALSE(window->debugDraw);
    EXPECT_EQ(window->GetWindow().getPosition(), sf::Vector2i(0, 0));
    EXPECT_EQ(window->GetWindow().getSettings().attributeFlags & sf::ContextSettings::Core, 0u);
    EXPECT_GE(window->GetWindow().getSettings().depthBits, 24u);

    window->initialHeight = 480;
    window->Initialize();
    EXPECT_EQ(window->GetWidth(), 1024u);
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(1024, 480));
    EXPECT_EQ(AnnouncedSizes(), (std::vector<sf::Vector2u>{{1280, 800}, {1024, 480}}));

    EXPECT_EQ(window->GetVideoMode(UINT32_MAX), sf::VideoMode(0, 0, 0));

    ASSERT_TRUE(host().Initialize());
    // Settings made before the window opens, as a start-up script does.
    const std::string title = "Marrowvale window test " + std::to_string(::getpid());
    Eval("var ws = Core.Instance().WindowSystem_; ws.title = '" + title +
         "'; ws.initialWidth = 640; ws.initialHeight = 480; ws.textOffset = [2.5, -6];");
    window->Initialize();
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(640, 480));
    EXPECT_EQ(window->textOffset, sf::Vector2f(2.5f, -6.0f));
    EXPECT_EQ(Eval("var c = ws.GetCurrentVideoMode(); var m = ws.GetVideoMode(0);"
                   "[ws.GetWidth(), ws.GetHeight(), c.width, c.height, c.bpp, ws.textOffset,"
                   " ws.NumVideoModes(), m.width, m.height, m.bpp, ws.DesktopWidth(),"
                   " ws.DesktopHeight()].join()"),
              "640,480,640,480,32,2.5,-6,1,1280,800,32,1280,800"); // only 32-bit modes
    // The script's copy is its own.
    EXPECT_EQ(Eval("m.width = 1; m.bpp = 16; [m.width, m.bpp, ws.GetVideoMode(0).width].join()"),
              "1,16,1280");

    EXPECT_EQ(Eval("ws.SetVideoMode(800, 600, 32); var c = ws.GetCurrentVideoMode();"
                   "[ws.GetWidth(), ws.GetHeight(), c.width, c.height].join()"),
              "800,600,800,600");
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(800, 600));

    // The windowing library's requests reach the server as its queue is flushed.
    const std::string findTitle = "xdotool search --name '^" + title +
                                  "$' 2>/dev/null | grep -qx " +
                                  std::to_string(window->GetWindow().getSystemHandle());
    EXPECT_TRUE(PumpUntil([&] { return std::system(findTitle.c_str()) == 0; }));

    // One window's life: resized, maximized, given new modes, closed and reopened,
    // pictured, then closed by the window manager.
    window->initialWidth = 640;
    window->initialHeight = 480;
    window->Initialize();
    Settle(); // the new window's own resize report
    recorder->received.clear();
    window->GetWindow().setSize(sf::Vector2u(800, 600));
    ASSERT_TRUE(PumpUntilReceived<VideoSizeChangeMessage>());
    EXPECT_EQ(AnnouncedSizes().front(), sf::Vector2u(800, 600));
    EXPECT_EQ(window->GetWidth(), 640u);

    Settle();
    recorder->received.clear();
    window->MaximizeWindow();
    EXPECT_EQ(window->textOffset, sf::Vector2f(0.0f, -6.0f));
    // Announced at once, and again by the resize that follows.
    ASSERT_TRUE(PumpUntilReceived<VideoSizeChangeMessage>(2));
    for (const sf::Vector2u& size : AnnouncedSizes())
        EXPECT_EQ(size, sf::Vector2u(1280, 800));
    EXPECT_EQ(window->GetWidth(), 640u) << "only announced, like a resize";

    // A new mode recreates the window and resets the text offset.
    window->SetVideoMode(800, 600, 32);
    EXPECT_EQ(window->textOffset, sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(AnnouncedSizes().back(), sf::Vector2u(800, 600));

    // A zero side makes the X server end the process.
    const std::size_t announced = AnnouncedSizes().size();
    window->SetVideoMode(0, 600, 32);
    window->SetVideoMode(70000, 600, 32);
    EXPECT_TRUE(window->IsOpen());
    EXPECT_EQ(window->GetWidth(), 800u);
    EXPECT_EQ(AnnouncedSizes().size(), announced);

    // Closed, the window is still safe to update; a mode opens it again.
    window->CloseWindow();
    window->Screenshot();
    Settle(0.05);
    window->SetVideoMode(320, 240, 32);
    EXPECT_TRUE(window->IsOpen());

    // A screenshot saves the finished frame as JPEG.
    WorkingFolder folder;
    window->Screenshot();
    EXPECT_FALSE(fs::exists(WindowSystem::kScreenshotFile)) << "taken before the frame is done";
    window->Update(0.0f);

    sf::Image image;
    ASSERT_TRUE(image.loadFromFile(WindowSystem::kScreenshotFile));
    EXPECT_EQ(image.getSize(), sf::Vector2u(320, 240));

    // Closing the window quits the core. What a window manager sends when the close
    // button is clicked:
    Core::Instance().running = true;
    Display* display = XOpenDisplay(nullptr);
    ASSERT_NE(display, nullptr);
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window->GetWindow().getSystemHandle();
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    XSendEvent(display, event.xclient.window, False, NoEventMask, &event);
    XCloseDisplay(display);

    ASSERT_TRUE(PumpUntilReceived<QuittingMessage>());
    EXPECT_FALSE(Core::Instance().running);

    // The font cache, which needs no window, loads once per path and remembers failures.
    const fs::path source = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
    if (!fs::exists(source))
        GTEST_SKIP() << "fonts-liberation2 is not installed";
    fs::create_directories("Fonts");
    fs::copy_file(source, "Fonts/mono.ttf");
    const sf::Font& font = window->GetFont(12, "Fonts/mono.ttf");
    EXPECT_TRUE(window->IsFontLoaded("Fonts/mono.ttf"));
    EXPECT_EQ(&window->GetFont(30, "Fonts\\mono.ttf"), &font);

    const sf::Font& missing = window->GetFont(12, "Fonts/missing.ttf");
    EXPECT_EQ(missing.getLineSpacing(12), 0.0f); // usable, draws nothing
    fs::copy_file(source, "Fonts/missing.ttf");
    EXPECT_EQ(&window->GetFont(12, "Fonts/missing.ttf"), &missing);
    EXPECT_FALSE(window->IsFontLoaded("Fonts/missing.ttf")) << "a failed load is not retried";
}

// Without a display the windowing library would end the process. Start-up
// must fail with advice instead, and the window system must stay harmless.
// Each test runs in a process of its own (tests/CMakeLists.txt), so nothing
// has reached a display before the test takes DISPLAY away.
TEST(WindowWithoutDisplay, StartUpFailsWithAdviceEveryOperationIsHarmlessAndABadDisplayIsNamed) {
    ::unsetenv("DISPLAY");
    TempFolder folder;
    // Before the window is made, from the start-up script.
    folder.Write("startup.js",
                 "var ws = Core.Instance().WindowSystem_;"
                 "var before = [ws.DesktopWidth(), ws.DesktopHeight(), ws.IsKeyDown(Code.A),"
                 " ws.IsMouseButtonDown(Button.Left)].join();");
    // After start-up failed: every function once.
    folder.Write("postInit.js",
                 "ws.SetVideoMode(800, 600, 32); ws.ToggleFullScreen(); ws.ToggleVSync();"
                 "ws.HideWindow(); ws.MinimizeWindow(); ws.MaximizeWindow(); ws.Screenshot();"
                 "ws.PrintAvailableVideoModes(); ws.CloseWindow();"
                 "var after = [ws.GetMousePos().join(' '), ws.NumVideoModes(),"
                 " ws.GetVideoMode(0).width, ws.GetCurrentVideoMode().width, ws.GetWidth(),"
                 " ws.fullScreen].join();");
    Core& core = Core::Instance();
    core.SetResourceDir(folder.path.string());
    MessageRecorder recorder(*core.messageManager);

    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    core.Init();
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(err.find("[Error] (0) : Cannot open the window: DISPLAY is not set"),
              std::string::npos)
        << err;
    EXPECT_EQ(err.find(".js:"), std::string::npos) << "no script failed: " << err;
    EXPECT_EQ(err.find("OpenGL"), std::string::npos) << "the renderer waits for a window: " << err;
    EXPECT_TRUE(core.startupFailed);
    EXPECT_FALSE(core.running);
    EXPECT_EQ(recorder.All<QuittingMessage>().size(), 1u);

    WindowSystem& window = *core.WindowSystem_;
    EXPECT_FALSE(window.IsOpen());
    EXPECT_EQ(out, "\n") << "no modes to list";
    std::string seen;
    ASSERT_TRUE(ScriptHost::Instance().Evaluate("before + ' / ' + after", "check.js", &seen));
    EXPECT_EQ(seen, "0,0,false,false / 0 0,0,0,0,1280,false");

    // A script may restart the loop; frames then run without a window.
    core.running = true;
    core.RunFrame();
    EXPECT_FALSE(window.IsOpen());

    // An unreachable display is named in the message.
    ::setenv("DISPLAY", ":4711", 1);
    ::testing::internal::CaptureStderr();
    window.Initialize();
    const std::string unreachable = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(unreachable.find("the X display \":4711\" (DISPLAY) cannot be opened"),
              std::string::npos)
        << unreachable;
    EXPECT_FALSE(window.IsOpen());
}

} // namespace
