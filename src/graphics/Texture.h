#pragma once

#include <cstdint>
#include <string>

// An image uploaded as a GL texture, owned by the graphics system's cache. A file that
// could not be loaded gives name 0 and size 0x0.
struct Texture {
    std::uint32_t name = 0; // GL texture name
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::string fileName;
};
