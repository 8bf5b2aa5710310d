#include "audio/SoundSystem.h"

#include <algorithm>
#include <cmath>
#include <filesystem>

#include <SFML/Audio/Listener.hpp>
#include <glm/gtc/matrix_inverse.hpp>
#include <glm/mat3x3.hpp>

#include "audio/MusicEntry.h"
#include "audio/SoundEntry.h"
#include "base/ExitHook.h"
#include "base/Path.h"
#include "core/ListeningSystem.h"
#include "graphics/CameraComponent.h"
#include "script/ScriptHost.h"

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
    FollowCamera();
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

void SoundSystem::PlaySoundAt(const std::string& fileName, const glm::vec3& position, float volume,
                              float pitch) {
    if (soundsMuted || !OpenDevice())
        return;
    auto entry = SoundEntry::Load(PathOf(fileName), volume, false);
    if (!entry)
        return;
    entry->sound.setPitch(pitch);
    // OpenAL places only mono sources; it plays the channels of any other as they are.
    if (entry->buffer.getChannelCount() == 1) {
        entry->sound.setRelativeToListener(false);
        entry->sound.setPosition(position.x, position.y, position.z);
        entry->sound.setMinDistance(minDistance);
        entry->sound.setAttenuation(attenuation);
    } else {
        ScriptHost::Instance().ReportWarning(
            "Warning: SoundSystem.PlaySoundAt: %s has %u channels and only a mono sound can be "
            "placed; it plays unplaced.",
            fileName.c_str(), entry->buffer.getChannelCount());
    }
    // The listener is where the camera was at the last frame; a camera moved
    // since must be heard from where it is now.
    FollowCamera();
    entry->sound.play();
    sounds.push_back(std::move(entry));
}

bool SoundSystem::IsPitch(float pitch) {
    return std::isfinite(pitch) && pitch > 0.0f;
}

bool SoundSystem::SetMusicPitch(float pitch) {
    if (!IsPitch(pitch))
        return false;
    musicPitch = pitch;
    for (auto& entry : musics)
        entry->music.setPitch(pitch);
    return true;
}

bool SoundSystem::SetMinDistance(float distance) {
    if (!std::isfinite(distance) || distance <= 0.0f)
        return false;
    minDistance = distance;
    ApplyDistanceSettings();
    return true;
}

bool SoundSystem::SetAttenuation(float value) {
    if (!std::isfinite(value) || value < 0.0f)
        return false;
    attenuation = value;
    ApplyDistanceSettings();
    return true;
}

void SoundSystem::ApplyDistanceSettings() {
    for (auto& entry : sounds)
        if (!entry->sound.isRelativeToListener()) {
            entry->sound.setMinDistance(minDistance);
            entry->sound.setAttenuation(attenuation);
        }
}

void SoundSystem::FollowCamera() {
    const CameraComponent* camera = CameraComponent::FindActive();
    const glm::mat4 toWorld = glm::inverse(camera ? camera->GetMatrix() : glm::mat4(1.0f));
    const glm::vec3 position(toWorld[3]);
    const glm::vec3 forward = glm::mat3(toWorld) * glm::vec3(0.0f, 0.0f, -1.0f);
    const glm::vec3 up = glm::mat3(toWorld) * glm::vec3(0.0f, 1.0f, 0.0f);
    // A view that cannot be inverted places the listener nowhere; it stays put.
    for (const glm::vec3& v : {position, forward, up})
        if (!std::isfinite(v.x) || !std::isfinite(v.y) || !std::isfinite(v.z))
            return;
    sf::Listener::setPosition(position.x, position.y, position.z);
    sf::Listener::setDirection(forward.x, forward.y, forward.z);
    sf::Listener::setUpVector(up.x, up.y, up.z);
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
    entry->music.setPitch(musicPitch);
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
