#include "audio/SoundEntry.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include <SFML/Audio/InputSoundFile.hpp>

#include "base/Path.h"
#include "base/SfmlErrorCapture.h"

namespace {
// Effects live in memory; anything longer belongs in a stream. Five minutes of
// 48 kHz stereo is 55 MiB of samples.
constexpr double kMaxEffectSeconds = 300.0;
constexpr std::size_t kChunkSamples = 1 << 16;
} // namespace

float ClampVolume(float volume) {
    return std::isnan(volume) ? 0.0f : std::clamp(volume, 0.0f, 100.0f);
}

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

std::unique_ptr<SoundEntry> SoundEntry::Load(const std::string& path, float volume, bool loop) {
    auto fail = [&](const std::string& problem) {
        std::cerr << "Cannot play sound " << path << ": " << problem << ".\n";
        return nullptr;
    };
    std::string problem;
    if (!IsRegularFile(path, problem))
        return fail(problem);

    SfmlErrorCapture capture;
    sf::InputSoundFile file;
    if (!file.openFromFile(path))
        return fail("not a sound file that can be read (WAV, OGG/Vorbis or FLAC)" +
                    capture.Detail());
    const unsigned channels = file.getChannelCount();
    const unsigned rate = file.getSampleRate();
    if (!IsPlayableFormat(channels, rate, problem))
        return fail(problem);

    // The header's sample count is not trusted: a damaged file may claim
    // gigabytes. Read what is really there, up to the limit.
    const std::size_t limit = static_cast<std::size_t>(kMaxEffectSeconds * rate * channels);
    std::vector<sf::Int16> samples;
    for (;;) {
        const std::size_t start = samples.size();
        samples.resize(start + kChunkSamples);
        const std::size_t got = static_cast<std::size_t>(file.read(&samples[start], kChunkSamples));
        samples.resize(start + got);
        if (got == 0)
            break;
        if (samples.size() > limit)
            return fail("it is longer than " + std::to_string(int(kMaxEffectSeconds)) +
                        " seconds; play it as music");
    }
    if (samples.empty())
        return fail("it holds no samples");

    auto entry = std::make_unique<SoundEntry>();
    entry->path = path;
    if (!entry->buffer.loadFromSamples(samples.data(), samples.size(), channels, rate))
        return fail("its samples cannot be loaded" + capture.Detail());
    entry->sound.setBuffer(entry->buffer);
    entry->sound.setLoop(loop);
    entry->sound.setVolume(ClampVolume(volume));
    return entry;
}
