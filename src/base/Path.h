#pragma once

#include <string>

// Scripts and older model files name paths with backslashes ("..\resource\Models\x.vxm").
// Every engine file open goes through this so those names work on any platform: on
// systems where '\' is not a separator it becomes '/'; elsewhere the path is unchanged.
std::string NormalizePath(const std::string& path);

// The folder a game was written against is "../resource/", and scripts and tools name
// their files that way. With the game elsewhere ("--resource DIR"), such names must still
// find its files.
inline constexpr const char* kDefaultResourceFolder = "../resource/";
void SetResourceFolder(const std::string& folder);
const std::string& GetResourceFolder();

// The engine's own resource folder, whose files (the shaders) a game folder may leave
// out: share/marrowvale/ beside an installed or packaged engine's bin/, else the
// resource/ folder of the source tree it was built from.
const char* GetEngineResourceFolder();

// Where an engine file named by a script or a tool really is: NormalizePath, and a name
// starting with "../resource/" taken from the game's resource folder instead.
std::string ResolvePath(const std::string& path);

// With a save folder (--save-dir, which a packaged game's launcher passes), what the game
// writes under "../resource/" goes there, and reads of such names look there first: a game
// installed where players cannot write keeps each player's saves in a folder of their own.
// Empty (the default): writes go where reads do.
void SetSaveFolder(const std::string& folder);
const std::string& GetSaveFolder();
// Where a file named by a script or a tool is to be written: in the save folder when there
// is one (its folders are made on the way), else where ResolvePath puts it. Writers then
// check the result with IsWritablePath (base/WritableFolders.h).
std::string ResolveWritePath(const std::string& path);

// Whether `path` names a regular file (symbolic links followed). Devices, FIFOs and
// folders are refused before any read: "/dev/urandom" never ends and a FIFO blocks.
// On false, `problem` says why, for the caller's report.
bool IsRegularFile(const std::string& path, std::string& problem);
