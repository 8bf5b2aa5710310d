#include "audio/SoundFileCheck.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <fstream>

#include <SFML/Audio/InputSoundFile.hpp>

#include "base/Path.h"
#include "base/SfmlErrorCapture.h"

namespace {

std::uint32_t Little(const unsigned char* bytes, int count) {
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | bytes[i];
    return value;
}

// Whether a stated format is one we can hand to the device.
bool IsPlayableFormat(unsigned channelCount, unsigned sampleRate, std::string& problem) {
    // The channel layouts OpenAL has formats for.
    if (channelCount != 1 && channelCount != 2 && channelCount != 4 &&
        (channelCount < 6 || channelCount > 8)) {
        problem = "it has " + std::to_string(channelCount) + " channels (1, 2, 4, 6, 7 or 8 play)";
        return false;
    }
    if (sampleRate < 1000 || sampleRate > 384000) {
        problem =
            "its sample rate is " + std::to_string(sampleRate) + " Hz (1000 to 384000 Hz play)";
        return false;
    }
    return true;
}

bool IsWav(std::ifstream& in) {
    std::array<unsigned char, 12> riff{};
    if (!in.read(reinterpret_cast<char*>(riff.data()), riff.size()))
        return false;
    return std::equal(riff.begin(), riff.begin() + 4, "RIFF") &&
           std::equal(riff.begin() + 8, riff.end(), "WAVE");
}

// Walks the chunks the way SFML does (no padding, the last format chunk before
// the first data chunk counts) so that what is checked is what SFML will use.
bool CheckWavHeader(std::ifstream& in, std::string& problem) {
    bool formatSeen = false;
    for (;;) {
        std::array<unsigned char, 8> chunk{};
        if (!in.read(reinterpret_cast<char*>(chunk.data()), chunk.size()))
            return true; // no data chunk: SFML refuses the file itself
        const std::string id(chunk.begin(), chunk.begin() + 4);
        const std::uint32_t size = Little(&chunk[4], 4);
        const std::streamoff start = in.tellg();
        if (id == "data") {
            if (!formatSeen)
                problem = "its data chunk comes before its format chunk";
            return formatSeen;
        }
        if (id == "fmt ") {
            std::array<unsigned char, 16> format{};
            if (size < format.size() ||
                !in.read(reinterpret_cast<char*>(format.data()), format.size())) {
                problem = "its format chunk is " + std::to_string(size) + " bytes (16 or more)";
                return false;
            }
            const unsigned channels = Little(&format[2], 2);
            const unsigned rate = Little(&format[4], 4);
            const unsigned bits = Little(&format[14], 2);
            if (!IsPlayableFormat(channels, rate, problem))
                return false;
            if (bits != 8 && bits != 16 && bits != 24 && bits != 32) {
                problem =
                    "it has " + std::to_string(bits) + " bits a sample (8, 16, 24 or 32 play)";
                return false;
            }
            formatSeen = true;
        }
        if (!in.seekg(start + static_cast<std::streamoff>(size)))
            return true;
    }
}

} // namespace

bool OpenSoundFile(const std::string& path, sf::InputSoundFile& file, std::string& problem) {
    if (!IsRegularFile(path, problem))
        return false;
    {
        std::ifstream in(path, std::ios::binary);
        if (IsWav(in) && !CheckWavHeader(in, problem))
            return false;
    }
    SfmlErrorCapture capture;
    if (!file.openFromFile(path)) {
        problem = "not a sound file that can be read (WAV, OGG/Vorbis or FLAC)" + capture.Detail();
        return false;
    }
    return IsPlayableFormat(file.getChannelCount(), file.getSampleRate(), problem);
}
