#pragma once

#include <string>

namespace sf {
class InputSoundFile;
}

// SFML sizes buffers from what a sound file says about itself: sf::Music takes
// one second of samples, rate times channels, when it opens a file, so a
// 110-byte WAV claiming four billion samples a second asks for 8 GB before
// anything could refuse it, and a WAV whose data comes before its format makes
// SFML divide by zero. Every sound file is opened here first: the WAV header is
// read and checked by the engine itself, then SFML opens the file for reading
// (which for OGG and FLAC sizes nothing from the header) and the format it
// reports is checked before anything else is made from it.

// Opens `path` into `file` if it is a regular sound file in a format the device
// plays. On false, `problem` says why, naming the bad value.
bool OpenSoundFile(const std::string& path, sf::InputSoundFile& file, std::string& problem);
