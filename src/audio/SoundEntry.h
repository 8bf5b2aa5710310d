#pragma once

#include <memory>
#include <string>

#include <SFML/Audio/Sound.hpp>
#include <SFML/Audio/SoundBuffer.hpp>

// An effect loaded whole into memory from its own copy of the file: two plays
// of one file are two independent effects.
struct SoundEntry {
    // Null when the file cannot be played; the reason, naming the file, has
    // been written to standard error. Nothing is started.
    static std::unique_ptr<SoundEntry> Load(const std::string& path, float volume, bool loop);

    std::string path;
    sf::SoundBuffer buffer; // declared before the sound, which must not outlive it
    sf::Sound sound;
    float savedVolume = 0.0f; // the volume before muting
};

// What SFML's volume setter accepts: 0 to 100; NaN is taken as silence.
float ClampVolume(float volume);
