#include "audio/SoundSystem.h"

#include <cmath>

#include "script/ScriptClass.h"
#include "script/ScriptHost.h"
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

void Refuse(const char* what, const char* wanted, float value) {
    ScriptHost::Instance().ReportError("Error in SoundSystem.%s must be %s, not %g.", what, wanted,
                                       static_cast<double>(value));
}
void RefuseSetting(const char* name, const char* wanted, float value, float kept) {
    ScriptHost::Instance().ReportError(
        "Error in SoundSystem.%s: it must be %s, not %g; it stays %g.", name, wanted,
        static_cast<double>(value), static_cast<double>(kept));
}
constexpr const char* kPitchWanted = "a finite number > 0 (1 plays as recorded)";

void PlaySoundAt(SoundSystem& sounds, const script::FilePath& file, glm::vec3 position,
                 float volume, float pitch) {
    if (!std::isfinite(position.x) || !std::isfinite(position.y) || !std::isfinite(position.z))
        return ScriptHost::Instance().ReportError(
            "Error in SoundSystem.PlaySoundAt: the position must be finite, not [%g, %g, %g].",
            double(position.x), double(position.y), double(position.z));
    if (!SoundSystem::IsPitch(pitch))
        return Refuse("PlaySoundAt: the pitch", kPitchWanted, pitch);
    sounds.PlaySoundAt(file.path, position, volume, pitch);
}
void SetMusicPitch(SoundSystem& sounds, float pitch) {
    if (!sounds.SetMusicPitch(pitch))
        Refuse("SetMusicPitch: the pitch", kPitchWanted, pitch);
}
void SetMinDistance(SoundSystem& sounds, float distance) {
    if (!sounds.SetMinDistance(distance))
        RefuseSetting("minDistance", "a finite number > 0", distance, sounds.GetMinDistance());
}
void SetAttenuation(SoundSystem& sounds, float attenuation) {
    if (!sounds.SetAttenuation(attenuation))
        RefuseSetting("attenuation", "a finite number >= 0", attenuation, sounds.GetAttenuation());
}

constexpr const char* kMinDistanceNote =
    "distance in world units within which PlaySoundAt's effects play at full volume "
    "(default 5; > 0)";
constexpr const char* kAttenuationNote =
    "how fast PlaySoundAt's effects fade beyond minDistance: the volume is minDistance / "
    "(minDistance + attenuation * (distance - minDistance)); 0 never fades (default 1; >= 0)";

using S = script::ScriptClass<SoundSystem>;
const S soundSystemClass(
    "SoundSystem",
    {
        S::Method<&PlaySound>("PlaySound").Args("file, volume, loop"),
        S::Method<&PlaySoundNow>("PlaySoundNow").Args("file, volume"),
        S::Method<&PlaySoundAt>("PlaySoundAt").Args("file, position, volume, pitch"),
        S::Property<&SoundSystem::GetMinDistance, &SetMinDistance>("minDistance")
            .Noted(kMinDistanceNote),
        S::Property<&SoundSystem::GetAttenuation, &SetAttenuation>("attenuation")
            .Noted(kAttenuationNote),
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
        S::Method<&SetMusicPitch>("SetMusicPitch").Args("pitch"),
        S::Method<&SoundSystem::SetPauseAllSoundsAndMusic>("SetPauseAllSoundsAndMusic")
            .Args("pause"),
        S::Method<&SoundSystem::MuteAllSoundsAndMusic>("MuteAllSoundsAndMusic"),
        S::Method<&SoundSystem::UnmuteAllSoundsAndMusic>("UnmuteAllSoundsAndMusic"),
    });
} // namespace
