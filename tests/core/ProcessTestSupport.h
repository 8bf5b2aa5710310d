#pragma once

// For tests that run the engine or other programs as a player or a developer
// would, and look at the frame the engine saved.

#include <cstdio>
#include <string>

#include <SFML/Graphics/Image.hpp>

// What a shell command printed, standard error included; `status` as pclose gives it.
inline std::string Shell(const std::string& command, int& status) {
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    std::string printed;
    char buffer[4096];
    for (size_t count; pipe && (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        printed.append(buffer, count);
    status = pipe ? ::pclose(pipe) : -1;
    return printed;
}

// Pixels of the frame's middle third much redder than blue: the starter game's
// house (red roof, stone walls) against its sky, where an empty frame has none.
inline int StarterModelPixels(const sf::Image& frame) {
    int count = 0;
    for (unsigned y = frame.getSize().y / 3; y < frame.getSize().y * 2 / 3; ++y)
        for (unsigned x = frame.getSize().x / 3; x < frame.getSize().x * 2 / 3; ++x) {
            const sf::Color c = frame.getPixel(x, y);
            count += c.r > c.b + 40;
        }
    return count;
}

// Whether the strip below the sample's village, where its meadow lies in a
// 1280×800 frame, is grass.
inline bool MeadowShows(const sf::Image& frame) {
    double r = 0, g = 0, b = 0;
    int count = 0;
    for (unsigned y = 600; y < 650 && y < frame.getSize().y; ++y)
        for (unsigned x = 540; x < 740 && x < frame.getSize().x; ++x, ++count) {
            const sf::Color c = frame.getPixel(x, y);
            r += c.r, g += c.g, b += c.b;
        }
    return count > 0 && g / count > 64 && g > r && g > b;
}
