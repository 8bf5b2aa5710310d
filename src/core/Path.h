#pragma once

#include <string>

// Scripts and older model files name paths with backslashes ("..\resource\Models\x.vxm").
// Every engine file open goes through this so those names work on any platform: on
// systems where '\' is not a separator it becomes '/'; elsewhere the path is unchanged.
std::string NormalizePath(const std::string& path);
