#pragma once

#include <memory>
#include <string>

#include <SFML/Audio/Music.hpp>

// A music stream, fed from its file by SFML's streaming thread.
struct MusicEntry {
    // Null when the file cannot be streamed; the reason, naming the file, has
    // been written to standard error. Nothing is started.
    static std::unique_ptr<MusicEntry> Open(const std::string& path, float volume, bool loop);

    std::string path;
    sf::Music music;
    float savedVolume = 0.0f; // the volume before muting
};
