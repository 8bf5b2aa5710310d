#pragma once

#include <filesystem>
#include <string>

// `marrowvale --new-game DIR`: a starter game to run with `--game DIR`, made
// from the engine's template with the engine's own assets and the current
// TypeScript declarations, so editors check the game against this engine.
// Refuses a folder that exists and is not empty; false with `problem` then
// and when a file cannot be written (what was written stays, to be looked at).
// With `typeScript` the game starts from Scripts/main.ts and has a tsconfig.json
// for `tsc`, from the template overlay that holds what differs.
bool WriteNewGame(const std::filesystem::path& folder, bool typeScript, std::string& problem);

// The game's name as npm takes it: the folder's name in lower case, with
// anything but letters, digits, '-', '_' and '.' made '-'; "game" when
// nothing is left.
std::string GameNameOf(const std::filesystem::path& folder);

// `text` as a POSIX shell reads it back as one word, so a printed command can be
// pasted as it stands: unchanged when nothing in it is special, else in single quotes.
std::string ShellQuoted(const std::string& text);
