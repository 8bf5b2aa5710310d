#pragma once

#include <string>

// Compiles a script file without running it. A syntax error (or a file that
// cannot be read) is reported like any script error, with file and line, and
// the result is false. Needs a running script host.
bool CheckScriptSyntax(const std::string& path);
