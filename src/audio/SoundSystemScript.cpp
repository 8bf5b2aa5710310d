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
        S::Method<&PlaySound>("PlaySound").Args("file, volume, loop"),
        S::Method<&PlaySoundNow>("PlaySoundNow").Args("file, volume"),
        S::Method<&SoundSystem::SetPauseAllSounds>("SetPauseAllSounds").Args("pause"),
        S::Method<&SoundSystem::MuteAllSounds>("MuteAllSounds"),
        S::Method<&SoundSystem::UnmuteAllSounds>("UnmuteAllSounds"),
        S::Method<&PlayMusic>("PlayMusic").Args("file, volume, loop"),
        S::Method<&SoundSystem::SetPauseAllMusic>("SetPauseAllMusic").Args("pause"),
        S::Method<&StopMusic>("StopMusic").Args("file"),
        S::Method<&SoundSystem::StopAllMusic>("StopAllMusic"),
        S::Method<&SoundSystem::MuteAllMusic>("MuteAllMusic"),
        S::Method<&SoundSystem::UnmuteAllMusic>("UnmuteAllMusic"),
        S::Method<&SoundSystem::IsMusicMuted>("IsMusicMuted"),
        S::Method<&SoundSystem::SetPauseAllSoundsAndMusic>("SetPauseAllSoundsAndMusic")
            .Args("pause"),
        S::Method<&SoundSystem::MuteAllSoundsAndMusic>("MuteAllSoundsAndMusic"),
        S::Method<&SoundSystem::UnmuteAllSoundsAndMusic>("UnmuteAllSoundsAndMusic"),
    });
} // namespace
