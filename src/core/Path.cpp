#include "core/Path.h"

#include <algorithm>

std::string NormalizePath(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string result = path;
    std::replace(result.begin(), result.end(), '\\', '/');
    return result;
#endif
}
