#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <SFML/Graphics/Font.hpp>
#include <SFML/Graphics/Image.hpp>
#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/Graphics/Texture.hpp>
#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Event.hpp>
#include <SFML/Window/VideoMode.hpp>
#include <SFML/Window/WindowStyle.hpp>

#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;

// The render window, the input event pump and presenting the frame. Every
// window event becomes an input message with the engine's own key codes;
// scripts also query keys, buttons and the mouse directly through it.
class WindowSystem : public Core::System, public MessageListener {
  public:
    // A window with a title bar and a close button; the full-screen bit is
    // added on top of it.
    static constexpr std::uint32_t kWindowedStyle = sf::Style::Titlebar | sf::Style::Close;
    static constexpr std::uint32_t kFullScreenBit = sf::Style::Fullscreen;
    static constexpr const char* kScreenshotFile = "screenshot.jpg";
    // Larger windows cannot be described to the X server (or, at zero, are
    // refused with an error that ends the process).
    static constexpr unsigned kMaxWindowSide = 32767;

    explicit WindowSystem(MessageManager& messages);

    // Opens the window. Without a display it shows the error box, fails the
    // start-up and leaves the window closed; every operation below is then
    // harmless (queries answer zero or false).
    void Initialize() override;
    // One frame: DrawOverlays, then FinishFrame.
    void Update(float dt) override;
    // The frame's layers over what the renderer drew: the game's text, then the
    // tools' overlays, so that no game text covers a tool.
    void DrawOverlays();
    // Saves a requested screenshot, pumps the events and presents the frame.
    void FinishFrame();
    virtual void HandleMessage(const MessagePointer& message);
    JSObject* GetJSInstance() override;
    // The scripts' gamepad listeners go: the window pumps the pads' events.
    void ForgetScriptState() override;

    // Window control. Each of these is also a script function.
    void SetVideoMode(unsigned modeWidth, unsigned modeHeight, unsigned bitsPerPixel);
    void PrintAvailableVideoModes() const;
    void ToggleVSync();
    void HideWindow();
    void ToggleFullScreen();
    void CloseWindow(); // the main loop keeps running
    void MinimizeWindow();
    void MaximizeWindow();
    // Saves "screenshot.jpg" in the working folder once the frame being built
    // is complete, just before it is presented.
    void Screenshot();

    // Direct input queries, in the engine's key codes and button numbers. No key
    // is down for the game while the keyboard is captured (below).
    bool IsKeyDown(std::uint32_t keyCode) const;
    bool IsMouseButtonDown(std::uint32_t button) const;
    sf::Vector2i GetMousePos() const; // relative to the window's drawable area

    std::uint32_t GetWidth() const { return width; }
    std::uint32_t GetHeight() const { return height; }
    // Entry `index` of the offered modes; a zero mode for an index outside them.
    sf::VideoMode GetVideoMode(std::uint32_t index) const;
    std::uint32_t NumVideoModes() const { return static_cast<std::uint32_t>(videoModes.size()); }
    sf::VideoMode GetCurrentVideoMode() const { return currentMode; }
    std::uint32_t DesktopWidth() const;
    std::uint32_t DesktopHeight() const;

    // The cached font for `path` ('\' accepted as a separator), loaded on the
    // first request. A font that failed to load is remembered as such and
    // draws nothing, so callers never hold a dangling or null font.
    const sf::Font& GetFont(unsigned characterSize, const std::string& path);
    bool IsFontLoaded(const std::string& path) const;

    // The graphics system draws into this window's OpenGL context. Before
    // Initialize it is a closed window. Needs a display (Platform::HasDisplay):
    // the windowing library cannot make even a closed window without one.
    sf::RenderWindow& GetWindow();
    bool IsOpen() const;
    // When another program destroyed the window: closes what is left of it and quits.
    bool CloseIfLost();
    // What has been drawn into the frame so far (the back buffer).
    sf::Image CaptureFrame();

    // Who holds the keyboard. A tool that takes typed keys for itself registers,
    // under its own name, whether it holds them now: the developer console while
    // it is open, the tweak panels while a text field has the focus. While any
    // holder says so, IsKeyDown answers false, so keys held for typing steer
    // nothing; key and text messages still go out (the holders read them), and
    // their readers ask IsKeyboardCaptured. A null predicate removes the holder's.
    using KeyboardCapture = std::function<bool()>;
    void SetKeyboardCapture(const std::string& holder, KeyboardCapture capture);
    // True while a holder other than `except` holds the keyboard: a holder asks
    // about the others (the panels take no keys while the console has them).
    bool IsKeyboardCaptured(const std::string& except = std::string()) const;

    // Tweak panels claim the events they use through this handler; it returns
    // true for an event it consumed.
    using TweakBarEventHandler = std::function<bool(const sf::Event&)>;
    void SetTweakBarEventHandler(TweakBarEventHandler handler);
    // Developer tools (the tweak panels, the console) draw through these, above
    // everything the game draws: each frame after the game's text and before the
    // frame is saved or presented, in ascending layer. A null drawer removes
    // that layer's.
    using OverlayDrawer = std::function<void(sf::RenderWindow&)>;
    void SetOverlayDrawer(int layer, OverlayDrawer drawer);
    // Sees every event before the panels and the game do; true for an event
    // it took (the script debugger's pause key).
    void SetEventFilter(TweakBarEventHandler filter) { eventFilter = std::move(filter); }

    // With it on (the script debugger), each frame is also kept as a texture
    // just before it is presented, to be shown again while the game is paused.
    void SetKeepLastFrame(bool keep) { keepLastFrame = keep; }
    // Null until a frame was kept.
    const sf::Texture* GetLastFrame() const { return lastFrameKept ? lastFrame.get() : nullptr; }

    bool IsVSync() const { return vsync; }
    bool IsMinimizedFromFullScreen() const { return minimizedFromFullScreen; }
    std::uint32_t GetStyle() const { return style; }

    // Set by scripts; title, fullScreen, the initial size and
    // preserveOpenGLStates take effect when the window is created.
    sf::Vector2f textOffset{0.0f, 0.0f}; // added to every drawn text
    std::string title = "Marrowvale";
    bool fullScreen = false;
    // Overlays drawn by the window save and restore the OpenGL state around
    // themselves when set; otherwise they reset it before drawing.
    bool preserveOpenGLStates = false;
    bool handleTweakBarMessages = true;
    bool debugDraw = false;          // cleared by Initialize
    std::uint32_t initialHeight = 0; // 0: let Initialize choose
    std::uint32_t initialWidth = 0;

  private:
    void ReportMissingDisplay();
    sf::VideoMode ChooseStartupMode();
    sf::VideoMode DefaultWindowedMode(const std::vector<sf::VideoMode>& modes);
    void CreateRenderWindow(const sf::VideoMode& mode);
    void BroadcastSize(std::uint32_t newWidth, std::uint32_t newHeight);
    void PumpEvents();
    void ProcessEvent(const sf::Event& event);
    void OnLostFocus();
    void OnGainedFocus();
    bool OfferToTweakBars(const sf::Event& event);
    void DrawTextComponents();
    void DrawClickBoxOutlines();
    void SaveScreenshot();

    std::uint32_t width = 1280;
    std::uint32_t height = 800;
    bool vsync = false;
    bool minimizedFromFullScreen = false;
    // Made on first use: even a closed render window needs the display, and
    // the engine's objects are constructed before anything may need one.
    std::unique_ptr<sf::RenderWindow> window;
    sf::VideoMode currentMode;
    std::uint32_t style = kWindowedStyle;
    std::int32_t lastMouseX = 0;
    std::int32_t lastMouseY = 0;
    struct CachedFont {
        sf::Font font;
        bool loaded = false;
    };
    std::map<std::string, CachedFont> fonts; // by normalised path
    std::vector<sf::VideoMode> videoModes;
    TweakBarEventHandler tweakBarEventHandler;
    TweakBarEventHandler eventFilter;
    std::map<std::string, KeyboardCapture> keyboardCaptures;
    std::map<int, OverlayDrawer> overlayDrawers;
    bool screenshotRequested = false;
    bool keepLastFrame = false;
    bool lastFrameKept = false;
    // Made on first use: a texture touches the GL context even to be destroyed,
    // and a window system without a display must never do that.
    std::unique_ptr<sf::Texture> lastFrame;
    void KeepLastFrame();
};
