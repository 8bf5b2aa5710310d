#pragma once

// Game objects to a scene file's JSON, from the binding tables: for each
// object in id order its name, every attached component in the engine's type
// order with every property a file keeps in table order, and its behaviours.
// Plain values are written as JSON values (floats as the shortest decimal that
// reads back to them), textures and models by their file name in the game's
// folder, a script's data as JSON, another object of the file by its index
// (null for one outside it), and what a table says itself how to save (a
// body's shape) as it says. Callbacks are not data and are left out.

#include <vector>

#include "objects/GameObject.h"
#include "scene/SceneText.h"

class Scene;

namespace scene {

inline constexpr const char* kFormat = "marrowvale-scene";
inline constexpr int kVersion = 1;

// `folder` is the file's folder in the game's folder ("Levels"; empty for the
// game's folder itself): behaviours' modules are written relative to it.
std::string SaveText(const Scene& scene, std::vector<GameObject> list, const std::string& folder);
// The same as JSON (the text parsed), for tools.
Json SaveObjects(const Scene& scene, std::vector<GameObject> list, const std::string& folder);

// A file name as scripts give it, relative to the game's folder; false for one
// outside it.
bool GameRelativeName(const std::string& file, std::string& out);

// A module's name as a file in `folder` names it ("./door.mjs", "../Scripts/a.mjs"),
// from its name in the game's folder.
std::string ModuleNameFrom(const std::string& folder, const std::string& module);

} // namespace scene
