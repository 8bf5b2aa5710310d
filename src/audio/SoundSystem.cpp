#include "audio/SoundSystem.h"

#include <algorithm>
#include <filesystem>

#include "audio/MusicEntry.h"
#include "audio/SoundEntry.h"
#include "base/ExitHook.h"
#include "base/Path.h"
#include "core/ListeningSystem.h"

namespace {

template <class Entry, class Stopped>
void RemoveIf(std::vector<std::unique_ptr<Entry>>& entries, Stopped stopped) {
    entries.erase(std::remove_if(entries.begin(), entries.end(),
                                 [&](const std::unique_ptr<Entry>& e) { return stopped(*e); }),
                  entries.end());
}

bool IsStopped(const sf::SoundSource& source) {
    return source.getStatus() == sf::SoundSource::Stopped;
}

// Pausing holds what plays; resuming continues only what was paused. Playing
// an effect or stream that is already playing would restart it, and playing
// one that has ended would replay it.
template <class Source> void SetPaused(Source& source, bool pause) {
    if (pause && source.getStatus() == sf::SoundSource::Playing)
        source.pause();
    else if (!pause && source.getStatus() == sf::SoundSource::Paused)
        source.play();
}

// Muting keeps each volume to come back to; a volume of 0 comes back as full
// volume, so that an effect started silent can be heard after unmuting.
template <class Entry, class Source>
void Mute(std::vector<std::unique_ptr<Entry>>& entries, Source Entry::*source) {
    for (auto& entry : entries) {
        entry->savedVolume = ((*entry).*source).getVolume();
        ((*entry).*source).setVolume(0.0f);
    }
}

template <class Entry, class Source>
void Unmute(std::vector<std::unique_ptr<Entry>>& entries, Source Entry::*source) {
    for (auto& entry : entries)
        ((*entry).*source).setVolume(entry->savedVolume == 0.0f ? 100.0f : entry->savedVolume);
}

// Music streams are fed by threads of their own, and OpenAL tears its device
// lists down when the program ends: a stream or device still alive then makes
// it fail an assertion. Systems are not destroyed before exit, so every live
// one is cleared from an exit handler, which runs before the libraries' own
// clean-up.
using ClearAtExit = ExitHook<SoundSystem, &SoundSystem::Clear>;

} // namespace

SoundSystem::SoundSystem(MessageManager& messages) {
    StartListening(messages, this);
    ClearAtExit::Add(this);
}

SoundSystem::~SoundSystem() {
    Clear();
    ClearAtExit::Remove(this);
}

bool SoundSystem::OpenDevice() {
    ClearAtExit::Register();
    return device.Open();
}

void SoundSystem::HandleMessage(const MessagePointer&) {}

std::string SoundSystem::PathOf(const std::string& fileName) {
    // Models, textures and scripts are named from the resource folder
    // ("../resource/Sounds/x.wav"), so a sound named that way, or by an
    // absolute path, is taken as it is; only bare names are in Sounds/.
    const std::string name = NormalizePath(fileName);
    const std::string prefix = NormalizePath(kDefaultResourceFolder);
    if (name.compare(0, prefix.size(), prefix) == 0 || std::filesystem::path(name).is_absolute())
        return ResolvePath(name);
    return ResolvePath(prefix + "Sounds/" + name);
}

void SoundSystem::Update(float) {
    RemoveIf(sounds, [](SoundEntry& e) { return IsStopped(e.sound); });
    if (nowSound && IsStopped(nowSound->sound))
        nowSound.reset();
    RemoveIf(formerNowSounds, [](SoundEntry& e) { return IsStopped(e.sound); });
    // A stream that has ended would otherwise be kept until StopAllMusic, and
    // resuming all music would start it again from the beginning.
    RemoveIf(musics, [](MusicEntry& e) { return IsStopped(e.music); });
}

void SoundSystem::PlaySound(const std::string& fileName, float volume, bool loop) {
    if (soundsMuted || !OpenDevice())
        return;
    auto entry = SoundEntry::Load(PathOf(fileName), volume, loop);
    if (!entry)
        return;
    entry->sound.play();
    sounds.push_back(std::move(entry));
}

void SoundSystem::PlaySoundNow(const std::string& fileName, float volume) {
    if (soundsMuted || !OpenDevice())
        return;
    auto entry = SoundEntry::Load(PathOf(fileName), volume, false);
    if (!entry)
        return;
    entry->sound.play();
    if (nowSound)
        formerNowSounds.push_back(std::move(nowSound));
    nowSound = std::move(entry);
}

void SoundSystem::SetPauseAllSounds(bool pause) {
    for (auto& entry : sounds)
        SetPaused(entry->sound, pause);
}

void SoundSystem::MuteAllSounds() {
    // A second mute would save the zeros of the first.
    if (soundsMuted)
        return;
    soundsMuted = true;
    Mute(sounds, &SoundEntry::sound);
}

void SoundSystem::UnmuteAllSounds() {
    if (!soundsMuted)
        return;
    soundsMuted = false;
    Unmute(sounds, &SoundEntry::sound);
}

void SoundSystem::PlayMusic(const std::string& fileName, float volume, bool loop) {
    if (!OpenDevice())
        return;
    auto entry = MusicEntry::Open(PathOf(fileName), volume, loop);
    if (!entry)
        return;
    // Silenced before it starts, so not one buffer is heard.
    if (musicMuted) {
        entry->savedVolume = entry->music.getVolume();
        entry->music.setVolume(0.0f);
    }
    entry->music.play();
    musics.push_back(std::move(entry));
}

void SoundSystem::SetPauseAllMusic(bool pause) {
    for (auto& entry : musics)
        SetPaused(entry->music, pause);
}

void SoundSystem::StopMusic(const std::string& fileName) {
    const std::string path = PathOf(fileName);
    std::error_code error;
    auto same = [&](const MusicEntry& e) {
        return e.path == path || std::filesystem::equivalent(e.path, path, error);
    };
    RemoveIf(musics, same);
}

void SoundSystem::StopAllMusic() {
    musics.clear();
    device.Close();
}

void SoundSystem::MuteAllMusic() {
    if (musicMuted)
        return;
    musicMuted = true;
    Mute(musics, &MusicEntry::music);
}

void SoundSystem::UnmuteAllMusic() {
    if (!musicMuted)
        return;
    musicMuted = false;
    Unmute(musics, &MusicEntry::music);
}

void SoundSystem::SetPauseAllSoundsAndMusic(bool pause) {
    SetPauseAllSounds(pause);
    SetPauseAllMusic(pause);
}

void SoundSystem::SuspendPlaying() {
    auto suspend = [this](sf::SoundSource& source) {
        if (source.getStatus() == sf::SoundSource::Playing) {
            source.pause();
            suspended.push_back(&source);
        }
    };
    for (auto& entry : sounds)
        suspend(entry->sound);
    for (auto& entry : musics)
        suspend(entry->music);
    if (nowSound)
        suspend(nowSound->sound);
}

void SoundSystem::ResumeSuspended() {
    // Nothing releases an entry while suspended (no update runs), but a source
    // that went meanwhile must not be touched.
    auto resume = [this](sf::SoundSource& source) {
        for (sf::SoundSource* held : suspended)
            if (held == &source && source.getStatus() == sf::SoundSource::Paused)
                source.play();
    };
    for (auto& entry : sounds)
        resume(entry->sound);
    for (auto& entry : musics)
        resume(entry->music);
    if (nowSound)
        resume(nowSound->sound);
    suspended.clear();
}

void SoundSystem::MuteAllSoundsAndMusic() {
    MuteAllSounds();
    MuteAllMusic();
}

void SoundSystem::UnmuteAllSoundsAndMusic() {
    UnmuteAllSounds();
    UnmuteAllMusic();
}

void SoundSystem::Clear() {
    // Destroying an effect or a stream stops it.
    suspended.clear();
    sounds.clear();
    nowSound.reset();
    formerNowSounds.clear();
    musics.clear();
    device.Close();
}
