#include "audio/SoundSystem.h"

#include "script/ScriptClass.h"
#include "script/ScriptWrapper.h"

// Core's SoundSystem_ property asks for a new wrapper on every read.
JSObject* SoundSystem::GetJSInstance() {
    return NewScriptWrapper(this);
}

namespace {
using S = script::ScriptClass<SoundSystem>;
const S soundSystemClass(
    "SoundSystem",
    {
        S::Method<&SoundSystem::PlaySound>("PlaySound"),
        S::Method<&SoundSystem::PlaySoundNow>("PlaySoundNow"),
        S::Method<&SoundSystem::SetPauseAllSounds>("SetPauseAllSounds"),
        S::Method<&SoundSystem::MuteAllSounds>("MuteAllSounds"),
        S::Method<&SoundSystem::UnmuteAllSounds>("UnmuteAllSounds"),
        S::Method<&SoundSystem::PlayMusic>("PlayMusic"),
        S::Method<&SoundSystem::SetPauseAllMusic>("SetPauseAllMusic"),
        S::Method<&SoundSystem::StopMusic>("StopMusic"),
        S::Method<&SoundSystem::StopAllMusic>("StopAllMusic"),
        S::Method<&SoundSystem::MuteAllMusic>("MuteAllMusic"),
        S::Method<&SoundSystem::UnmuteAllMusic>("UnmuteAllMusic"),
        S::Method<&SoundSystem::IsMusicMuted>("IsMusicMuted"),
        S::Method<&SoundSystem::SetPauseAllSoundsAndMusic>("SetPauseAllSoundsAndMusic"),
        S::Method<&SoundSystem::MuteAllSoundsAndMusic>("MuteAllSoundsAndMusic"),
        S::Method<&SoundSystem::UnmuteAllSoundsAndMusic>("UnmuteAllSoundsAndMusic"),
    });
} // namespace
