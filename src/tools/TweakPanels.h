#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Window/Event.hpp>

#include "tools/TweakBar.h"

struct ImGuiContext;

// The panel layer: owns the bars, draws them as Dear ImGui windows, takes the window
// events they claim and carries out definition texts. Engine code reaches it only through
// the tweak-bar messages; tests inspect it directly.
class TweakPanels {
  public:
    TweakPanels();
    ~TweakPanels();
    TweakPanels(const TweakPanels&) = delete;
    TweakPanels& operator=(const TweakPanels&) = delete;

    // A bar of this name; a second bar of a name already shown would be the same window.
    TweakBar* NewBar(const std::string& name);
    void DeleteBar(TweakBar* bar);
    TweakBar* FindBar(const std::string& name) const;
    std::size_t GetBarCount() const { return bars.size(); }

    // Carries out one definition text naming its bar ("'bar' size='200 300'"). Every text
    // is recorded (the latest 1024 at least), carried out or not; problems are reported on standard
    // error and make the result false.
    bool Define(const std::string& text);
    const std::vector<std::string>& GetDefinitions() const { return definitions; }

    void SetWindowSize(std::uint32_t width, std::uint32_t height);

    // The window system offers every event here first; true when a panel took it, in which
    // case the game must not see it.
    // Without `keysAllowed` (something else has the keyboard: the developer
    // console), key presses and typed text pass the panels by, shortcuts
    // included; releases of keys the panels took still reach them.
    bool HandleEvent(const sf::Event& event, bool keysAllowed = true);

    // Whether a text field has the keyboard: keys held now are typing, not steering.
    bool IsTypingText() const;

    // Called at the start of each frame: panels not drawn this frame take no events.
    void BeginFrame();
    // Draws every bar into the current OpenGL context, calling button callbacks.
    void Draw();
    // Drawn after the bars in the same frame (the script debugger's panel).
    void SetOverlay(std::function<void()> draw) { overlay = std::move(draw); }
    // Only the overlay is drawn and takes events: bars would run game code
    // (their callbacks, script fields) while the game must stand still.
    void SetOverlayOnly(bool only) { overlayOnly = only; }
    // A tool window drawn after the bars (the inspector): it answers the
    // rectangle it covers this frame, or nothing while hidden, and presses
    // there are the panels' like presses on a bar.
    void SetToolPanel(std::function<std::optional<sf::FloatRect>()> draw) {
        toolPanel = std::move(draw);
    }

  private:
    bool IsOverPanel(float x, float y) const;
    void SetMouseButton(int button, bool down);

    std::vector<std::unique_ptr<TweakBar>> bars; // in creation order, drawn in that order
    static constexpr std::size_t kDefinitionsKept = 1024;
    std::vector<std::string> definitions;
    ImGuiContext* context = nullptr;
    std::function<void()> overlay;
    bool overlayOnly = false;
    std::function<std::optional<sf::FloatRect>()> toolPanel;
    std::optional<sf::FloatRect> toolRect;
    bool rendererReady = false;
    std::uint32_t width = 1280;
    std::uint32_t height = 800;
    std::chrono::steady_clock::time_point lastFrame = std::chrono::steady_clock::now();

    // A press and its release can arrive between two frames; the release waits one frame
    // so that the panels see the click at all.
    static constexpr int kMouseButtons = 5;
    std::array<bool, kMouseButtons> pressUnseen{};
    std::array<bool, kMouseButtons> releaseWaiting{};
    std::array<bool, kMouseButtons> capturedButton{};
    std::set<int> capturedKeys;
    // The same for keys: a quick CTRL+A must reach ImGui as held for a frame.
    std::set<int> keysUnseen;
    std::set<int> keyReleasesWaiting;
};
