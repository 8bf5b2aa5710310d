#pragma once

#include <filesystem>
#include <string>
#include <vector>

// A game, or a mod inside it, must not be able to touch the player's other
// files: whatever the engine writes on a script's or a tool's behalf goes under
// the game's own folder or its save folder (--save-dir), nowhere else. Reads are
// not limited.

// The game's resource folder and, when there is one, its save folder, with ".."
// and symbolic links resolved.
std::vector<std::filesystem::path> GetWritableFolders();

// Whether `target`, a path as the engine will open it (after ResolveWritePath),
// lies inside one of the writable folders once "..", "." and symbolic links are
// resolved, so that neither an escape nor a link leads out. On false, `problem`
// names the folders it may be written in and where the path really leads.
bool IsWritablePath(const std::filesystem::path& target, std::string& problem);
