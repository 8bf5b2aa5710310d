#include "audio/MusicEntry.h"

#include <iostream>

#include <SFML/Audio/InputSoundFile.hpp>

#include "audio/SoundEntry.h"
#include "audio/SoundFileCheck.h"
#include "base/SfmlErrorCapture.h"

std::unique_ptr<MusicEntry> MusicEntry::Open(const std::string& path, float volume, bool loop) {
    auto fail = [&](const std::string& problem) {
        std::cerr << "Cannot play music " << path << ": " << problem << ".\n";
        return nullptr;
    };
    // sf::Music sizes its buffer from the header as it opens the file, so the
    // file is opened and checked on its own first.
    std::string problem;
    {
        sf::InputSoundFile probe;
        if (!OpenSoundFile(path, probe, problem))
            return fail(problem);
    }

    auto entry = std::make_unique<MusicEntry>();
    entry->path = path;
    {
        SfmlErrorCapture capture;
        if (!entry->music.openFromFile(path))
            return fail("not a sound file that can be read (WAV, OGG/Vorbis or FLAC)" +
                        capture.Detail());
    }
    if (entry->music.getDuration() == sf::Time::Zero)
        return fail("it holds no samples");
    // Unplaced: heard as recorded wherever the listener is.
    entry->music.setRelativeToListener(true);
    entry->music.setLoop(loop);
    entry->music.setVolume(ClampVolume(volume));
    return entry;
}
