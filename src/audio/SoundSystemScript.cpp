#include "audio/SoundSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's SoundSystem_ property asks for a new wrapper on every read.
JSObject* SoundSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
// Sound names are paths: a NUL or a character above 255 is an error, never
// another file.
void PlaySound(SoundSystem& sounds, const script::FilePath& file, float volume, bool loop) {
    sounds.PlaySound(file.path, volume, loop);
}
void PlaySoundNow(SoundSystem& sounds, const script::FilePath& file, float volume) {
    sounds.PlaySoundNow(file.path, volume);
}
void PlayMusic(SoundSystem& sounds, const script::FilePath& file, float volume, bool loop) {
    sounds.PlayMusic(file.path, volume, loop);
}
void StopMusic(SoundSystem& sounds, const script::FilePath& file) {
    sounds.StopMusic(file.path);
}

using S = script::ScriptClass<SoundSystem>;
const S soundSystemClass(
    "SoundSystem",
    {
        S::Method<&PlaySound>("PlaySound"),
        S::Method<&PlaySoundNow>("PlaySoundNow"),
        S::Method<&SoundSystem::SetPauseAllSounds>("SetPauseAllSounds"),
        S::Method<&SoundSystem::MuteAllSounds>("MuteAllSounds"),
        S::Method<&SoundSystem::UnmuteAllSounds>("UnmuteAllSounds"),
        S::Method<&PlayMusic>("PlayMusic"),
        S::Method<&SoundSystem::SetPauseAllMusic>("SetPauseAllMusic"),
        S::Method<&StopMusic>("StopMusic"),
        S::Method<&SoundSystem::StopAllMusic>("StopAllMusic"),
        S::Method<&SoundSystem::MuteAllMusic>("MuteAllMusic"),
        S::Method<&SoundSystem::UnmuteAllMusic>("UnmuteAllMusic"),
        S::Method<&SoundSystem::IsMusicMuted>("IsMusicMuted"),
        S::Method<&SoundSystem::SetPauseAllSoundsAndMusic>("SetPauseAllSoundsAndMusic"),
        S::Method<&SoundSystem::MuteAllSoundsAndMusic>("MuteAllSoundsAndMusic"),
        S::Method<&SoundSystem::UnmuteAllSoundsAndMusic>("UnmuteAllSoundsAndMusic"),
    });
} // namespace
