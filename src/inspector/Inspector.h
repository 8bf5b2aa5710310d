#pragma once

#include <optional>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include <SFML/Graphics/Rect.hpp>
#include <SFML/Window/Event.hpp>

#include "inspector/InspectorHistory.h"
#include "inspector/LevelFile.h"
#include "objects/GameObject.h"

struct MouseRay;

// The live inspector: a panel listing the live game objects, one of which can
// be selected (in the list, or by clicking it in the world) and is outlined;
// its components' properties are edited in place, components are added and
// removed and the object deleted. The properties are those the script
// binding tables declare, so a property bound for scripts appears here by
// itself. It also builds levels: models of the game's Models/ folder are
// placed on the ground, the selection is dragged over it with the mouse, and
// every one of these edits can be undone (CTRL+Z) and redone (CTRL+Y). Owned
// by the tweak-panel system, which draws it with the bars.
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
    // the frame, as a script's request is) and clears the selection. Undoable.
    void DeleteSelected();

    // Take back or make again the latest edit; the object it acted on is
    // selected after (none when it is gone). False when there was none.
    bool Undo();
    bool Redo();
    InspectorHistory& GetHistory() { return history; }

    // Copies the selected object beside it (CTRL+D) and selects the copy.
    // Undoable. The invalid handle when nothing could be copied.
    GameObject DuplicateSelected();
    LevelFile& GetLevel() { return level; }

    // The model files (.vxm, .vox) under the game's Models/ folder, named from
    // it ("trees/oak.vxm"), sorted.
    static std::vector<std::string> GetModelFiles();
    // Places a model of that folder as a new object (transform and voxel
    // model) where the mouse ray at the window position meets the ground
    // (y = 0), or in front of the camera when it does not, and selects it.
    // Undoable. The invalid handle when the model cannot be loaded.
    GameObject AddModel(const std::string& file, int x, int y);
    // The model the next left click into the world places; empty for none.
    void SetModelToPlace(const std::string& file) { modelToPlace = file; }
    const std::string& GetModelToPlace() const { return modelToPlace; }
    bool IsDragging() const { return drag.has_value(); }
    // Selects what is under the window position, or nothing. False without a
    // graphics system to make the mouse ray from.
    bool SelectAt(int x, int y);

    // Events the panels left: F2, and while shown CTRL+Z, CTRL+Y, CTRL+D and the left
    // clicks and drags into the world, which select, place and move instead
    // of reaching the game. True when taken.
    bool HandleEvent(const sf::Event& event);

    // Draws the panel and the outline of the selection into the current ImGui
    // frame; the panel's rectangle, or nothing while hidden.
    std::optional<sf::FloatRect> Draw();

    // The list's filter: objects whose id or component names contain it.
    std::string filter;

  private:
    // A drag of the selection over the horizontal plane at its height.
    struct Drag {
        GameObject object;
        glm::vec3 start{0.0f};
        glm::vec3 grabOffset{0.0f}; // from where the ray met the plane to the position
        int pressX = 0, pressY = 0;
        bool moving = false; // past the few pixels a click wobbles by
    };

    void BeginDrag(int x, int y);
    void MoveDragged(int x, int y);
    void FinishDrag();
    void DrawToolbar();
    void DrawObjectList();
    void DrawSelection(const GameObject& obj);
    void DrawOutline(const GameObject& obj) const;

    bool shown = false;
    GameObject selected;
    bool clickTaken = false; // the press was ours, so its release is too
    InspectorHistory history;
    LevelFile level;
    std::string duplicateError; // why the last copy could not be made
    std::optional<Drag> drag;
    std::string modelToPlace;
    std::vector<std::string> modelFiles;      // listed when the choice opens
    std::vector<sf::Keyboard::Key> keysTaken; // their releases are ours too
};
