#include "audio/SoundEntry.h"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <vector>

#include <SFML/Audio/InputSoundFile.hpp>

#include "audio/SoundFileCheck.h"
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

std::unique_ptr<SoundEntry> SoundEntry::Load(const std::string& path, float volume, bool loop) {
    auto fail = [&](const std::string& problem) {
        std::cerr << "Cannot play sound " << path << ": " << problem << ".\n";
        return nullptr;
    };
    std::string problem;
    sf::InputSoundFile file;
    if (!OpenSoundFile(path, file, problem))
        return fail(problem);
    const unsigned channels = file.getChannelCount();
    const unsigned rate = file.getSampleRate();

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
    // A last frame cut short (a damaged or truncated file) would make OpenAL refuse
    // the whole buffer, and the effect would play silence.
    samples.resize(samples.size() - samples.size() % channels);
    if (samples.empty())
        return fail("it holds no samples");

    auto entry = std::make_unique<SoundEntry>();
    entry->path = path;
    SfmlErrorCapture capture;
    if (!entry->buffer.loadFromSamples(samples.data(), samples.size(), channels, rate))
        return fail("its samples cannot be loaded" + capture.Detail());
    entry->sound.setBuffer(entry->buffer);
    // Unplaced: heard as recorded wherever the listener is.
    entry->sound.setRelativeToListener(true);
    entry->sound.setLoop(loop);
    entry->sound.setVolume(ClampVolume(volume));
    return entry;
}
