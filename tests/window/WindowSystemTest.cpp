#include <cstdint>
#include <filesystem>
#include <string>

#include <SFML/Graphics/Image.hpp>
#include <gtest/gtest.h>
#include <unistd.h>

#include "messaging/Message.h"
#include "window/WindowTestSupport.h"

// Last: its macros (None, Status, ...) clash with names in the SFML headers.
#include <X11/Xlib.h>

namespace {

namespace fs = std::filesystem;

// A scratch folder that is the working folder while it lives.
class ScratchFolder {
  public:
    ScratchFolder() : path(fs::temp_directory_path() / ("mv-window-" + std::to_string(getpid()))) {
        fs::create_directories(path);
        fs::current_path(path);
    }
    ~ScratchFolder() {
        fs::current_path(previous);
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }

  private:
    fs::path previous = fs::current_path();
    fs::path path;
};

using WindowSystemTest = WindowTest;

// The 1280 x 800 x 24 Xvfb screen offers its one size at every depth, 32 bits
// first, so the default choice is the whole screen.
TEST_F(WindowSystemTest, InitializeChoosesTheModeAndAnnouncesIt) {
    window->debugDraw = true;    // as a start-up script might
    window->initialWidth = 1024; // a width alone is no request
    window->Initialize();
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(1280, 800));
    EXPECT_EQ(window->GetCurrentVideoMode(), sf::VideoMode(1280, 800, 32));
    EXPECT_FALSE(window->debugDraw);
    EXPECT_EQ(window->GetWindow().getPosition(), sf::Vector2i(0, 0));
    EXPECT_EQ(window->GetWindow().getSettings().attributeFlags & sf::ContextSettings::Core, 0u);
    EXPECT_GE(window->GetWindow().getSettings().depthBits, 24u);

    window->initialHeight = 480;
    window->Initialize();
    EXPECT_EQ(window->GetWidth(), 1024u);
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(1024, 480));

    const auto sizes = recorder->All<VideoSizeChangeMessage>();
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sf::Vector2u(sizes[0].width, sizes[0].height), sf::Vector2u(1280, 800));
    EXPECT_EQ(sf::Vector2u(sizes[1].width, sizes[1].height), sf::Vector2u(1024, 480));

    ASSERT_EQ(window->NumVideoModes(), 1u); // only 32-bit modes are offered
    EXPECT_EQ(window->GetVideoMode(0), sf::VideoMode(1280, 800, 32));
    EXPECT_EQ(window->GetVideoMode(1), sf::VideoMode(0, 0, 0));
    EXPECT_EQ(window->GetVideoMode(UINT32_MAX), sf::VideoMode(0, 0, 0));
}

TEST_F(WindowSystemTest, PrintAvailableVideoModesListsEveryModeThenAnEmptyLine) {
    testing::internal::CaptureStdout();
    window->PrintAvailableVideoModes();
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("mode 0: 1280 x 800 32bit\nmode 1: 1280 x 800 24bit\n", 0), 0u) << out;
    EXPECT_EQ(out.substr(out.size() - 2), "\n\n");
}

TEST_F(WindowSystemTest, ResizeIsAnnouncedWithoutChangingWidthAndHeight) {
    window->Initialize();
    Settle(); // the new window's own resize report
    recorder->received.clear();
    window->GetWindow().setSize(sf::Vector2u(800, 600));
    ASSERT_TRUE(PumpUntilReceived<VideoSizeChangeMessage>());
    EXPECT_EQ(recorder->All<VideoSizeChangeMessage>()[0].width, 800u);
    EXPECT_EQ(window->GetWidth(), 1280u);
}

TEST_F(WindowSystemTest, SetVideoModeRecreatesTheWindowAndRefusesImpossibleSizes) {
    window->Initialize();
    window->textOffset = sf::Vector2f(3.0f, 4.0f);
    window->SetVideoMode(800, 600, 32);
    EXPECT_EQ(window->GetWidth(), 800u);
    EXPECT_EQ(window->GetWindow().getSize(), sf::Vector2u(800, 600));
    EXPECT_EQ(window->textOffset, sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(recorder->All<VideoSizeChangeMessage>().back().width, 800u);

    // A zero side makes the X server end the process.
    const std::size_t announced = recorder->All<VideoSizeChangeMessage>().size();
    window->SetVideoMode(0, 600, 32);
    window->SetVideoMode(70000, 600, 32);
    EXPECT_TRUE(window->IsOpen());
    EXPECT_EQ(window->GetWidth(), 800u);
    EXPECT_EQ(recorder->All<VideoSizeChangeMessage>().size(), announced);

    // Closed, the window is still safe to update; a mode opens it again.
    window->CloseWindow();
    window->Screenshot();
    Settle(0.05);
    window->SetVideoMode(320, 240, 32);
    EXPECT_TRUE(window->IsOpen());
}

TEST_F(WindowSystemTest, ScreenshotSavesTheFinishedFrameAsJpeg) {
    ScratchFolder folder;
    window->initialWidth = 320;
    window->initialHeight = 240;
    window->Initialize();
    const sf::Color colour(200, 40, 90);
    window->GetWindow().clear(colour);
    window->Screenshot();
    EXPECT_FALSE(fs::exists(WindowSystem::kScreenshotFile)) << "taken before the frame is done";
    window->Update(0.0f);

    sf::Image image;
    ASSERT_TRUE(image.loadFromFile(WindowSystem::kScreenshotFile));
    ASSERT_EQ(image.getSize(), sf::Vector2u(320, 240));
    const sf::Color pixel = image.getPixel(160, 120);
    EXPECT_NEAR(pixel.r, colour.r, 6);
    EXPECT_NEAR(pixel.g, colour.g, 6);
    EXPECT_NEAR(pixel.b, colour.b, 6);
}

TEST_F(WindowSystemTest, ClosingTheWindowQuitsTheCore) {
    window->Initialize();
    Core::Instance().running = true;
    // What a window manager sends when the close button is clicked.
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
}

TEST_F(WindowSystemTest, MaximizeWithoutWindowManagerFillsTheScreen) {
    window->initialWidth = 640;
    window->initialHeight = 480;
    window->Initialize();
    Settle();
    recorder->received.clear();
    window->MaximizeWindow();
    EXPECT_EQ(window->textOffset, sf::Vector2f(0.0f, -6.0f));
    // Announced at once, and again by the resize that follows.
    ASSERT_TRUE(PumpUntilReceived<VideoSizeChangeMessage>(2));
    for (const VideoSizeChangeMessage& size : recorder->All<VideoSizeChangeMessage>())
        EXPECT_EQ(sf::Vector2u(size.width, size.height), sf::Vector2u(1280, 800));
    EXPECT_EQ(window->GetWidth(), 640u) << "only announced, like a resize";
}

// The font cache needs no window.
TEST(WindowFonts, LoadsOncePerPathAndRemembersFailures) {
    const fs::path source = "/usr/share/fonts/truetype/liberation2/LiberationMono-Regular.ttf";
    if (!fs::exists(source))
        GTEST_SKIP() << "fonts-liberation2 is not installed";
    ScratchFolder folder;
    fs::create_directories("Fonts");
    fs::copy_file(source, "Fonts/mono.ttf");

    WindowSystem& window = *Core::Instance().WindowSystem_;
    const sf::Font& font = window.GetFont(12, "Fonts/mono.ttf");
    EXPECT_TRUE(window.IsFontLoaded("Fonts/mono.ttf"));
    EXPECT_EQ(&window.GetFont(30, "Fonts\\mono.ttf"), &font);

    const sf::Font& missing = window.GetFont(12, "Fonts/missing.ttf");
    EXPECT_EQ(missing.getLineSpacing(12), 0.0f); // usable, draws nothing
    fs::copy_file(source, "Fonts/missing.ttf");
    EXPECT_EQ(&window.GetFont(12, "Fonts/missing.ttf"), &missing);
    EXPECT_FALSE(window.IsFontLoaded("Fonts/missing.ttf")) << "a failed load is not retried";
}

} // namespace
