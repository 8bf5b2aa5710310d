#pragma once

// Reading a script file whole, for every loader of scripts and modules.

#include <string>

namespace script {

// The whole file as bytes; refuses anything but a regular file (a FIFO would
// block, a device never end) and never returns a partial read. `problem`
// says why not, to follow the file's name in a report.
bool ReadSourceFile(const std::string& path, std::string& contents, std::string& problem);

// The text without the UTF-8 byte order mark some editors write first: the
// compiler and the JSON parser take it for a stray character.
std::string WithoutByteOrderMark(const std::string& text);

} // namespace script
