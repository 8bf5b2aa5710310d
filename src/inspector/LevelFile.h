#pragma once

#include <string>

#include "objects/GameObject.h"

// The level the inspector builds: the scene file "Save scene" writes, which
// live objects belong to it, and copies of them. A level loaded from a file
// is saved back there with the objects placed or copied since; a game whose
// objects were all made by its scripts is saved whole, as a first level.
// Objects a script made beside a loaded level (its camera, its HUD) stay out
// of it, so loading the level does not make them twice.
class LevelFile {
  public:
    // The file saved to: what was typed, else the file a live object was
    // loaded from, else "Levels/level.json" of the game's folder.
    std::string GetPath() const;
    void SetPath(const std::string& file) { typed = file; }

    // Makes an object the inspector made part of the level.
    void Adopt(const GameObject& obj) const;
    // Writes the level's objects, or every live object when none belongs to
    // the file yet (they then do). Says what it did, or why nothing was written.
    bool Save(std::string& message) const;
    // A copy of the object with its components, values, name and behaviours
    // (which run for the copy), one unit further along x, part of the level;
    // the invalid handle, with `error` set, when it cannot be made.
    GameObject Duplicate(const GameObject& obj, std::string& error) const;

    // The "Save scene" button; a right click on it chooses the file.
    void DrawSaveButton();
    // What the last save did, once there was one.
    void DrawOutcome() const;

  private:
    std::string typed;
    std::string lastMessage;
};
