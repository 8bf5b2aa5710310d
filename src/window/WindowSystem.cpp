#include "window/WindowSystem.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>

#include <SFML/Graphics/RectangleShape.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/Window/ContextSettings.hpp>
#include <SFML/Window/Keyboard.hpp>
#include <SFML/Window/Mouse.hpp>

#include "base/Path.h"
#include "base/Platform.h"
#include "base/SfmlErrorCapture.h"
#include "base/WritableFolders.h"
#include "core/Core.h"
#include "core/ListeningSystem.h"
#include "graphics/DrawTextComponent.h"
#include "input/Gamepads.h"
#include "messaging/Message.h"
#include "messaging/MessagePointer.h"
#include "objects/ComponentFactory.h"
#include "picking/ClickBoxComponent.h"
#include "script/ScriptHost.h"
#include "window/KeyCodes.h"
#include "window/SfmlDrawScope.h"

namespace {

// Depth 24, stencil 8, no antialiasing, and no version: the default context
// is a compatibility one, which the renderer's fixed-function calls and the
// windowing library's own drawing both need.
sf::ContextSettings WindowContextSettings() {
    return sf::ContextSettings(24, 8, 0);
}

// The engine's button numbers are the windowing library's.
static_assert(sf::Mouse::Left == 0 && sf::Mouse::Right == 1 && sf::Mouse::Middle == 2 &&
              sf::Mouse::XButton1 == 3 && sf::Mouse::XButton2 == 4 && sf::Mouse::ButtonCount == 5);

bool IsCreatableSize(unsigned w, unsigned h) {
    return w > 0 && h > 0 && w <= WindowSystem::kMaxWindowSide && h <= WindowSystem::kMaxWindowSide;
}

} // namespace

WindowSystem::WindowSystem(MessageManager& messages) {
    StartListening(messages, this);
}

sf::RenderWindow& WindowSystem::GetWindow() {
    if (!window)
        window = std::make_unique<sf::RenderWindow>();
    return *window;
}

bool WindowSystem::IsOpen() const {
    return window && window->isOpen();
}

void WindowSystem::Initialize() {
    if (!Platform::HasDisplay()) {
        ReportMissingDisplay();
        Core::Instance().FailStartup();
        return;
    }
    style = kWindowedStyle;
    const sf::VideoMode mode = ChooseStartupMode();
    if (fullScreen)
        style |= kFullScreenBit;
    CreateRenderWindow(mode);
    // Vertical sync is only wanted in full screen at start-up.
    if (fullScreen)
        GetWindow().setVerticalSyncEnabled(vsync);
    debugDraw = false;
    BroadcastSize(width, height);

    const sf::VideoMode desktop = sf::VideoMode::getDesktopMode();
    videoModes.clear();
    for (const sf::VideoMode& offered : sf::VideoMode::getFullscreenModes()) {
        if (offered.bitsPerPixel == 32 && offered.width <= desktop.width &&
            offered.height <= desktop.height)
            videoModes.push_back(offered);
    }
    GetWindow().setPosition(sf::Vector2i(0, 0));
    // Pads are input like the keyboard; without them the game still runs.
    Gamepads::Instance().Start();
}

void WindowSystem::ForgetScriptState() {
    Gamepads::Instance().ClearListeners();
}

// The windowing library would end the process with a terse note; say what to
// do instead.
void WindowSystem::ReportMissingDisplay() {
    const char* display = std::getenv("DISPLAY");
    const char* advice =
        "Start it under a virtual display with `xvfb-run -a ./marrowvale`, or with `make run`, "
        "which does that by itself when DISPLAY is not set.";
    if (display == nullptr || *display == '\0')
        Core::ShowErrorBox(0, "",
                           "Cannot open the window: DISPLAY is not set, so there is no X "
                           "display to show it on. %s",
                           advice);
    else
        Core::ShowErrorBox(0, "",
                           "Cannot open the window: the X display \"%s\" (DISPLAY) cannot be "
                           "opened. %s",
                           display, advice);
}

sf::VideoMode WindowSystem::ChooseStartupMode() {
    if (initialWidth != 0 && initialHeight != 0 && IsCreatableSize(initialWidth, initialHeight))
        return sf::VideoMode(initialWidth, initialHeight, 32);
    const std::vector<sf::VideoMode>& modes = sf::VideoMode::getFullscreenModes();
    if (modes.empty()) // a display that lists no modes: take it as it is
        return sf::VideoMode::getDesktopMode();
    if (fullScreen)
        return modes[0];
    return DefaultWindowedMode(modes);
}

// The first 32-bit mode after the best one with the same shape as the best
// one, so that a windowed game keeps the screen's aspect ratio.
sf::VideoMode WindowSystem::DefaultWindowedMode(const std::vector<sf::VideoMode>& modes) {
    const float ratio = static_cast<float>(modes[0].width) / static_cast<float>(modes[0].height);
    for (std::size_t i = 1; i < modes.size(); ++i) {
        const sf::VideoMode& mode = modes[i];
        if (mode.bitsPerPixel != 32)
            continue;
        const float r = static_cast<float>(mode.width) / static_cast<float>(mode.height);
        if (r - 0.000001f <= ratio && ratio <= r + 0.000001f) {
            BroadcastSize(mode.width, mode.height);
            return mode;
        }
    }
    return modes[0];
}

// Width and height follow the window actually created: a full-screen mode the
// display lacks is replaced by one it has, and the renderer must know which.
void WindowSystem::CreateRenderWindow(const sf::VideoMode& mode) {
    GetWindow().create(mode, title, style, WindowContextSettings());
    GetWindow().setActive(true);
    Platform::WatchWindow(GetWindow().getSystemHandle());
    const sf::Vector2u size = GetWindow().getSize();
    width = size.x;
    height = size.y;
    currentMode = sf::VideoMode(width, height, mode.bitsPerPixel);
}

void WindowSystem::BroadcastSize(std::uint32_t newWidth, std::uint32_t newHeight) {
    Core::Instance().BroadcastMessage(
        TryCreateMessage<VideoSizeChangeMessage>(newWidth, newHeight));
}

void WindowSystem::Update(float) {
    if (CloseIfLost())
        return;
    DrawOverlays();
    FinishFrame();
}

void WindowSystem::DrawOverlays() {
    if (!IsOpen())
        return;
    DrawTextComponents();
    // A copy: a drawer may register or remove one while the tools draw.
    const std::map<int, OverlayDrawer> drawers = overlayDrawers;
    for (const auto& [layer, draw] : drawers)
        if (IsOpen())
            draw(*window);
}

void WindowSystem::SetOverlayDrawer(int layer, OverlayDrawer drawer) {
    if (drawer)
        overlayDrawers[layer] = std::move(drawer);
    else
        overlayDrawers.erase(layer);
}

void WindowSystem::FinishFrame() {
    // Captured before any event can re-create the window and lose the frame.
    if (screenshotRequested)
        SaveScreenshot();
    PumpEvents();
    // Stamped with game time, the clock scripts' timers and animation frames keep.
    Gamepads::Instance().Update(ScriptHost::Instance().GetTimers().GetTime() * 1000.0);
    if (IsOpen()) {
        if (keepLastFrame)
            KeepLastFrame();
        window->display();
    }
}

void WindowSystem::KeepLastFrame() {
    const sf::Vector2u size = window->getSize();
    if (!lastFrame)
        lastFrame = std::make_unique<sf::Texture>();
    if (lastFrame->getSize() != size && !lastFrame->create(size.x, size.y))
        return;
    // Copied on the graphics side, from the back buffer that is about to be shown.
    lastFrame->update(*window);
    lastFrameKept = true;
}

bool WindowSystem::CloseIfLost() {
    std::string reason;
    if (!IsOpen() || !Platform::IsWindowLost(&reason))
        return false;
    // Destroyed by another program: there is nothing left to draw into or read events
    // from, so the game ends as if the window had been closed.
    std::fprintf(stderr,
                 "WindowSystem: the window was destroyed from outside (X error: %s); "
                 "the game ends.\n",
                 reason.c_str());
    std::fflush(stderr);
    window->close();
    Core::Instance().Quit();
    return true;
}

void WindowSystem::DrawTextComponents() {
    if (IsOpen())
        ::DrawTextComponents(*window, textOffset, preserveOpenGLStates);
}

void WindowSystem::PumpEvents() {
    sf::Event event;
    // Handling an event may close or re-create the window.
    while (IsOpen() && window->pollEvent(event)) {
        if (eventFilter && eventFilter(event))
            continue;
        if (handleTweakBarMessages && OfferToTweakBars(event))
            continue;
        ProcessEvent(event);
    }
}

bool WindowSystem::OfferToTweakBars(const sf::Event& event) {
    // Until the tweak panels install a handler nothing claims any event.
    return tweakBarEventHandler && tweakBarEventHandler(event);
}

void WindowSystem::SetTweakBarEventHandler(TweakBarEventHandler handler) {
    tweakBarEventHandler = std::move(handler);
}

void WindowSystem::ProcessEvent(const sf::Event& event) {
    Core& core = Core::Instance();
    switch (event.type) {
    case sf::Event::Closed:
        core.Quit();
        break;
    case sf::Event::Resized:
        // Only announced: width and height keep the size the mode was set to.
        BroadcastSize(event.size.width, event.size.height);
        break;
    case sf::Event::LostFocus:
        OnLostFocus();
        break;
    case sf::Event::GainedFocus:
        OnGainedFocus();
        break;
    case sf::Event::TextEntered:
        core.BroadcastMessage(TryCreateMessage<TextEnteredMessage>(event.text.unicode));
        break;
    case sf::Event::KeyPressed:
    case sf::Event::KeyReleased: {
        const std::uint32_t state = event.type == sf::Event::KeyPressed ? KS_PRESSED : KS_RELEASED;
        core.BroadcastMessage(
            TryCreateMessage<KeyboardMessage>(state, KeyCodeFromSfml(event.key.code), event.key.alt,
                                              event.key.control, event.key.shift));
        break;
    }
    case sf::Event::MouseWheelScrolled:
        // The deprecated wheel event duplicates this one; sideways scrolling
        // has no message.
        if (event.mouseWheelScroll.wheel == sf::Mouse::VerticalWheel)
            core.BroadcastMessage(TryCreateMessage<MouseWheelMessage>(
                static_cast<std::int32_t>(event.mouseWheelScroll.delta)));
        break;
    case sf::Event::MouseButtonPressed:
    case sf::Event::MouseButtonReleased: {
        const std::uint32_t state =
            event.type == sf::Event::MouseButtonPressed ? KS_PRESSED : KS_RELEASED;
        core.BroadcastMessage(TryCreateMessage<MouseButtonMessage>(
            event.mouseButton.x, event.mouseButton.y, state,
            static_cast<std::uint32_t>(event.mouseButton.button)));
        break;
    }
    case sf::Event::MouseMoved: {
        const std::int32_t x = event.mouseMove.x;
        const std::int32_t y = event.mouseMove.y;
        const std::int32_t xRel = x - lastMouseX;
        const std::int32_t yRel = y - lastMouseY;
        lastMouseX = x;
        lastMouseY = y;
        core.BroadcastMessage(TryCreateMessage<MouseMotionMessage>(x, y, xRel, yRel));
        break;
    }
    default: // mouse entering or leaving, joysticks, touch, sensors
        break;
    }
}

// A full-screen window gives the screen back while it is not in use. Every
// window the library creates reports a focus loss and gain of its own, and
// leaving or entering full screen creates a window; acting on such a stale
// report would toggle back and forth for ever. So only a focus change that is
// still true when the event is handled counts.
void WindowSystem::OnLostFocus() {
    if (!fullScreen || GetWindow().hasFocus())
        return;
    ToggleFullScreen();
    Platform::MinimizeWindow(GetWindow().getSystemHandle());
    minimizedFromFullScreen = true;
}

void WindowSystem::OnGainedFocus() {
    if (!minimizedFromFullScreen || fullScreen || !GetWindow().hasFocus())
        return;
    ToggleFullScreen();
    minimizedFromFullScreen = false;
}

void WindowSystem::HandleMessage(const MessagePointer& message) {
    // Nothing is drawn into a window another program destroyed (see IsWindowLost).
    if (message->id == MID_DebugDrawMessage && debugDraw && IsOpen() && !Platform::IsWindowLost())
        DrawClickBoxOutlines();
}

void WindowSystem::DrawClickBoxOutlines() {
    sf::RenderWindow& target = GetWindow();
    const SfmlDrawScope drawing(target, preserveOpenGLStates);

    // The outline lies on the first pixels that miss, so everything inside
    // it answers a click.
    sf::RectangleShape outline;
    outline.setFillColor(sf::Color::Transparent);
    outline.setOutlineColor(sf::Color(255, 255, 255, 255));
    outline.setOutlineThickness(1.0f);
    ComponentFactory<ClickBoxComponent>::Instance().ForEachAttached(
        [&](const ClickBoxComponent& box) {
            const glm::vec2 corner = box.GetCenter() - box.extents + 1.0f;
            const glm::vec2 extent = box.extents * 2.0f - 1.0f;
            outline.setPosition(corner.x, corner.y);
            outline.setSize(sf::Vector2f(std::max(extent.x, 0.0f), std::max(extent.y, 0.0f)));
            target.draw(outline);
        });
}

void WindowSystem::SetVideoMode(unsigned modeWidth, unsigned modeHeight, unsigned bitsPerPixel) {
    if (!Platform::HasDisplay() || !IsCreatableSize(modeWidth, modeHeight))
        return;
    CreateRenderWindow(sf::VideoMode(modeWidth, modeHeight, bitsPerPixel));
    // A new window starts without vertical sync; keep it as the flag says.
    GetWindow().setVerticalSyncEnabled(vsync);
    BroadcastSize(width, height);
    textOffset = sf::Vector2f(0.0f, 0.0f);
}

void WindowSystem::PrintAvailableVideoModes() const {
    const std::vector<sf::VideoMode> modes =
        Platform::HasDisplay() ? sf::VideoMode::getFullscreenModes() : std::vector<sf::VideoMode>();
    for (std::size_t i = 0; i < modes.size(); ++i)
        std::cout << "mode " << i << ": " << modes[i].width << " x " << modes[i].height << " "
                  << modes[i].bitsPerPixel << "bit\n";
    std::cout << std::endl;
}

void WindowSystem::ToggleVSync() {
    vsync = !vsync;
    if (IsOpen())
        window->setVerticalSyncEnabled(vsync);
}

// These act on an open window only: without a display even a closed window
// cannot be made.
void WindowSystem::HideWindow() {
    if (IsOpen())
        window->setVisible(false);
}

void WindowSystem::ToggleFullScreen() {
    if (!Platform::HasDisplay())
        return;
    style ^= kFullScreenBit;
    CreateRenderWindow(currentMode);
    GetWindow().setVerticalSyncEnabled(vsync);
    GetWindow().setPosition(sf::Vector2i(0, 0));
    fullScreen = !fullScreen;
    BroadcastSize(width, height);
    textOffset = sf::Vector2f(0.0f, 0.0f);
}

void WindowSystem::CloseWindow() {
    if (IsOpen())
        window->close();
}

void WindowSystem::MinimizeWindow() {
    if (IsOpen())
        Platform::MinimizeWindow(window->getSystemHandle());
}

void WindowSystem::MaximizeWindow() {
    if (!IsOpen())
        return;
    const sf::WindowHandle handle = window->getSystemHandle();
    if (!Platform::MaximizeWindow(handle))
        return;
    unsigned clientWidth = 0;
    unsigned clientHeight = 0;
    if (!Platform::GetClientSize(handle, clientWidth, clientHeight))
        return;
    BroadcastSize(clientWidth, clientHeight);
    textOffset = sf::Vector2f(0.0f, -6.0f);
}

void WindowSystem::Screenshot() {
    screenshotRequested = true;
}

void WindowSystem::SaveScreenshot() {
    screenshotRequested = false;
    if (!IsOpen())
        return;
    // With a save folder (a packaged game) the picture goes to the player's folder; else to
    // the working folder, as scripts and tools expect.
    const std::string file =
        GetSaveFolder().empty() ? std::string(kScreenshotFile) : GetSaveFolder() + kScreenshotFile;
    if (!GetSaveFolder().empty()) {
        // The name is the engine's own, but SFML writes through a link: one left in
        // the save folder must not lead the picture over a file elsewhere.
        std::string outside;
        if (!IsWritablePath(file, outside)) {
            std::fprintf(stderr, "WindowSystem: cannot save the screenshot %s: %s.\n", file.c_str(),
                         outside.c_str());
            return;
        }
        std::error_code error;
        std::filesystem::create_directories(GetSaveFolder(), error);
    }
    SfmlErrorCapture capture;
    if (!CaptureFrame().saveToFile(file))
        std::fprintf(stderr, "WindowSystem: cannot save the screenshot %s%s.\n", file.c_str(),
                     capture.Detail().c_str());
}

sf::Image WindowSystem::CaptureFrame() {
    if (!IsOpen())
        return sf::Image();
    const sf::Vector2u size = window->getSize();
    sf::Texture texture;
    if (!texture.create(size.x, size.y))
        return sf::Image();
    texture.update(*window);
    return texture.copyToImage();
}

bool WindowSystem::IsKeyDown(std::uint32_t keyCode) const {
    const sf::Keyboard::Key key = SfmlFromKeyCode(keyCode);
    return key != sf::Keyboard::Unknown && Platform::HasDisplay() && !IsKeyboardCaptured() &&
           sf::Keyboard::isKeyPressed(key);
}

void WindowSystem::SetKeyboardCapture(const std::string& holder, KeyboardCapture capture) {
    if (capture)
        keyboardCaptures[holder] = std::move(capture);
    else
        keyboardCaptures.erase(holder);
}

bool WindowSystem::IsKeyboardCaptured(const std::string& except) const {
    for (const auto& [holder, captures] : keyboardCaptures)
        if (holder != except && captures())
            return true;
    return false;
}

bool WindowSystem::IsMouseButtonDown(std::uint32_t button) const {
    return button < sf::Mouse::ButtonCount && Platform::HasDisplay() &&
           sf::Mouse::isButtonPressed(static_cast<sf::Mouse::Button>(button));
}

sf::Vector2i WindowSystem::GetMousePos() const {
    return window ? sf::Mouse::getPosition(*window) : sf::Vector2i(0, 0);
}

sf::VideoMode WindowSystem::GetVideoMode(std::uint32_t index) const {
    return index < videoModes.size() ? videoModes[index] : sf::VideoMode(0, 0, 0);
}

// Zero without a display.
std::uint32_t WindowSystem::DesktopWidth() const {
    return Platform::HasDisplay() ? sf::VideoMode::getDesktopMode().width : 0;
}

std::uint32_t WindowSystem::DesktopHeight() const {
    return Platform::HasDisplay() ? sf::VideoMode::getDesktopMode().height : 0;
}

// Fonts are rasterised per character size when glyphs are drawn, so the size
// asked for here does not affect what is loaded.
const sf::Font& WindowSystem::GetFont(unsigned, const std::string& path) {
    const std::string key = ResolvePath(path);
    auto [entry, inserted] = fonts.try_emplace(key);
    if (inserted) {
        std::string problem;
        if (IsRegularFile(key, problem)) {
            SfmlErrorCapture capture;
            entry->second.loaded = entry->second.font.loadFromFile(key);
            if (!entry->second.loaded)
                problem = "not a font file" + capture.Detail();
        }
        if (!entry->second.loaded)
            std::fprintf(stderr, "WindowSystem: cannot load font %s: %s.\n", path.c_str(),
                         problem.c_str());
    }
    return entry->second.font;
}

bool WindowSystem::IsFontLoaded(const std::string& path) const {
    const auto entry = fonts.find(ResolvePath(path));
    return entry != fonts.end() && entry->second.loaded;
}
