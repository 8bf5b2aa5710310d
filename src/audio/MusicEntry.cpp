#include "audio/MusicEntry.h"

#include <iostream>

#include "audio/SoundEntry.h"
#include "base/Path.h"
#include "base/SfmlErrorCapture.h"

std::unique_ptr<MusicEntry> MusicEntry::Open(const std::string& path, float volume, bool loop) {
    auto fail = [&](const std::string& problem) {
        std::cerr << "Cannot play music " << path << ": " << problem << ".\n";
        return nullptr;
    };
    std::string problem;
    if (!IsRegularFile(path, problem))
        return fail(problem);

    auto entry = std::make_unique<MusicEntry>();
    entry->path = path;
    {
        SfmlErrorCapture capture;
        if (!entry->music.openFromFile(path))
            return fail("not a sound file that can be read (WAV, OGG/Vorbis or FLAC)" +
                        capture.Detail());
    }
    if (!IsPlayableFormat(entry->music.getChannelCount(), entry->music.getSampleRate(), problem))
        return fail(problem);
    if (entry->music.getDuration() == sf::Time::Zero)
        return fail("it holds no samples");
    entry->music.setLoop(loop);
    entry->music.setVolume(ClampVolume(volume));
    return entry;
}
