// Reading a script file whole, for every loader of scripts and modules.

#include "script/ScriptSourceFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/Path.h"

namespace script {

// The whole file as bytes; a folder, a missing or unreadable file is a
// problem, never a partial read.
bool ReadSourceFile(const std::string& path, std::string& contents, std::string& problem) {
    std::string why;
    if (!IsRegularFile(path, why)) {
        problem = "cannot open the script file (" + why + ")";
        return false;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        problem = std::string("cannot open the script file (") + std::strerror(errno) + ")";
        return false;
    }
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        contents.append(buffer, count);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        problem = std::string("cannot read the script file (") + std::strerror(error) + ")";
        return false;
    }
    return true;
}

std::string WithoutByteOrderMark(const std::string& text) {
    static const char kMark[] = "\xEF\xBB\xBF";
    return text.compare(0, 3, kMark) == 0 ? text.substr(3) : text;
}

} // namespace script
