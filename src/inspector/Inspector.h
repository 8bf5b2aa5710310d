#pragma once

#include <optional>
#include <string>

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Window/Event.hpp>

#include "objects/GameObject.h"

// The live inspector: a panel listing the live game objects, one of which can
// be selected (in the list, or by clicking it in the world) and is outlined;
// its components' properties are edited in place, components are added and
// removed and the object deleted. The properties are those the script
// binding tables declare, so a property bound for scripts appears here by
// itself. Owned by the tweak-panel system, which draws it with the bars.
class Inspector {
  public:
    static constexpr sf::Keyboard::Key kToggleKey = sf::Keyboard::F2;

    // The inspector of the running engine; null before the panels exist.
    static Inspector* Current();

    void Show() { shown = true; }
    void Hide();
    void Toggle() { shown ? Hide() : Show(); }
    bool IsShown() const { return shown; }

    // Selects a live object; any other handle clears the selection.
    void Select(const GameObject& obj);
    // The selected object while it lives; the invalid handle otherwise.
    GameObject GetSelected() const;
    // Asks for the selected object's destruction (carried out at the end of
    // the frame, as a script's request is) and clears the selection.
    void DeleteSelected();
    // Selects what is under the window position, or nothing. False without a
    // graphics system to make the mouse ray from.
    bool SelectAt(int x, int y);

    // Events the panels left: F2, and while shown the left clicks into the
    // world, which select instead of reaching the game. True when taken.
    bool HandleEvent(const sf::Event& event);

    // Draws the panel and the outline of the selection into the current ImGui
    // frame; the panel's rectangle, or nothing while hidden.
    std::optional<sf::FloatRect> Draw();

    // The list's filter: objects whose id or component names contain it.
    std::string filter;

  private:
    void DrawObjectList();
    void DrawSelection(const GameObject& obj);
    void DrawOutline(const GameObject& obj) const;

    bool shown = false;
    GameObject selected;
    bool clickTaken = false; // the press was ours, so its release is too
};
