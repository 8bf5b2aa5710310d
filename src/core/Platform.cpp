#include "core/Platform.h"

#include <cstdio>

namespace Platform {

bool ShowErrorBox(const char* title, const char* text) {
    std::fprintf(stderr, "[%s] %s\n", title, text);
    std::fflush(stderr);
    return true;
}

} // namespace Platform
