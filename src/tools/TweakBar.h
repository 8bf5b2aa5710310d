#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <SFML/Graphics/Rect.hpp>
#include <SFML/System/Vector2.hpp>

#include "tools/TweakDefinition.h"

class TweakGraph;

// Variable types the panels accept, numbered as tweak-bar messages carry them.
enum TweakType : std::int32_t {
    kTweakBool8 = 2,
    kTweakBool32 = 4,
    kTweakInt32 = 10,
    kTweakUint32 = 11,
    kTweakFloat = 12,
    kTweakColor3f = 15,
    kTweakColor4f = 16,
    // The code senders derive from the size of a 28-byte string object; the variable
    // itself is a std::string.
    kTweakStdString = 0x2fff001c,
    // The engine's own: a TweakGraph drawn as stacked lines, read-only.
    kTweakGraph = 0x7fff0001,
};

bool IsAcceptedTweakType(std::int32_t type);

using TweakButtonCallback = void (*)(void* clientData);

// One field, enum picker or button of a panel.
struct TweakControl {
    enum class Kind { Var, Enum, Button };

    Kind kind = Kind::Var;
    std::string name;
    std::int32_t type = 0;
    void* var = nullptr;
    std::vector<std::string> enumLabels;
    TweakButtonCallback callback = nullptr;
    void* clientData = nullptr;

    std::string label; // shown instead of the name when set
    std::string help;
    bool readOnly = false;
    std::optional<double> min, max;
    double step = 0.0;
    std::optional<TweakShortcut> shortcut;

    // What the panel shows: a copy of the variable, refreshed at the bar's rate, so
    // figures that change every frame stay readable. Edits go straight through.
    std::array<unsigned char, 16> shown{};
    std::string shownString;
    sf::FloatRect drawnRect; // where the control was last drawn, window pixels
};

// One panel: an ImGui window of its own, with its controls in the order they were added.
class TweakBar {
  public:
    explicit TweakBar(std::string name);

    const std::string& GetName() const { return name; }

    void AddVar(const std::string& varName, std::int32_t type, void* var);
    void AddEnum(const std::string& varName, std::vector<std::string> labels, void* var);
    void AddButton(const std::string& buttonName, TweakButtonCallback callback, void* clientData);
    bool RemoveVar(const std::string& controlName);
    // Removes the control bound to that variable, whatever its name.
    bool RemoveVarBoundTo(const void* var);
    void RemoveAllVars();

    // Applies bar parameters (position, size, visible, refresh, label, iconified, help);
    // the known ones are applied even when others fail. Returns the problems, if any.
    std::string Define(const std::vector<std::pair<std::string, std::string>>& parameters);
    // As Define, for one control's parameters (label, help, readonly, min, max, step, key).
    std::string DefineControl(const std::string& controlName,
                              const std::vector<std::pair<std::string, std::string>>& parameters);

    // Builds the ImGui window; button presses are collected and their callbacks run
    // once the window is finished.
    void Draw();
    // Fires the control whose shortcut this key press is; false when none is.
    bool HandleShortcut(const sf::Event::KeyEvent& key);

    const TweakControl* FindControl(const std::string& controlName) const;
    bool IsVisible() const { return visible; }
    sf::Vector2i GetPosition() const { return position; }
    sf::Vector2u GetSize() const { return size; }
    double GetRefresh() const { return refresh; }
    // Where the window was drawn this frame; empty when it was not.
    const std::optional<sf::FloatRect>& GetDrawnRect() const { return drawnRect; }
    void ForgetDrawnRect() { drawnRect.reset(); }

  private:
    struct PressedButton {
        TweakButtonCallback callback;
        void* clientData;
    };

    TweakControl* Find(const std::string& controlName);
    void RefreshShownValues();
    void DrawControl(TweakControl& control, std::vector<PressedButton>& pressed);
    static void DrawGraph(const TweakGraph& graph, const char* label);
    float FieldWidth() const; // within the bar's window

    void WriteBack(TweakControl& control);
    void Fire(TweakControl& control);

    std::string name;
    std::string label;
    std::string help;
    std::vector<TweakControl> controls;
    sf::Vector2i position{16, 16};
    sf::Vector2u size{200, 320};
    bool visible = true;
    bool iconified = false;
    bool geometryChanged = true;
    bool iconifiedChanged = false;
    double refresh = 0.2; // seconds between copies of the variables into the panel
    std::optional<std::chrono::steady_clock::time_point> lastRefresh;
    std::optional<sf::FloatRect> drawnRect;
};
