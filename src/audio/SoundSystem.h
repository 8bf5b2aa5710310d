#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include <glm/vec3.hpp>

#include "audio/AudioDevice.h"
#include "core/System.h"
#include "messaging/MessageListener.h"

class MessageManager;
struct MusicEntry;
namespace sf {
class SoundSource;
}
struct SoundEntry;

// Sound effects and streamed music for scripts. Files are named relative to the
// game's Sounds/ folder, or from the resource folder ("../resource/...") or by
// an absolute path, as every other loader takes them. It listens for messages
// only to be a system like the others; it reacts to none.
class SoundSystem : public Core::System, public MessageListener {
  public:
    explicit SoundSystem(MessageManager& messages);
    ~SoundSystem() override;
    virtual void HandleMessage(const MessagePointer& message);
    // Follows the camera, and releases effects that have finished and streams
    // that have ended.
    void Update(float dt) override;
    JSObject* GetJSInstance() override;

    // Effects. Nothing starts while effects are muted.
    void PlaySound(const std::string& fileName, float volume, bool loop);
    // The one-shot "now" slot: a new one takes the slot and the previous one
    // plays on to its end, untracked. It is never paused or muted.
    void PlaySoundNow(const std::string& fileName, float volume);
    // An effect placed in the world, heard from the active camera: louder and to
    // one side as it is near and to that side. Only a mono file can be placed; one
    // with more channels plays unplaced, with a warning. A pitch of 1 is as
    // recorded, 2 an octave up and twice as fast. Muted, paused and released as
    // PlaySound's effects are.
    void PlaySoundAt(const std::string& fileName, const glm::vec3& position, float volume,
                     float pitch);
    void SetPauseAllSounds(bool pause);
    void MuteAllSounds();
    void UnmuteAllSounds();

    // Music streams.
    void PlayMusic(const std::string& fileName, float volume, bool loop);
    void SetPauseAllMusic(bool pause);
    // Stops and releases every stream started from that file.
    void StopMusic(const std::string& fileName);
    void StopAllMusic();
    void MuteAllMusic();
    void UnmuteAllMusic();
    bool IsMusicMuted() const { return musicMuted; }
    // The pitch of every stream, those playing and those started later. False,
    // and nothing changes, unless IsPitch(pitch).
    bool SetMusicPitch(float pitch);
    float GetMusicPitch() const { return musicPitch; }
    static bool IsPitch(float pitch);

    // How placed effects fade: full volume within minDistance, then
    // minDistance / (minDistance + attenuation * (distance - minDistance)); an
    // attenuation of 0 never fades. A setting changes the effects playing too.
    // False, and nothing changes, for a distance that is not finite and > 0 or
    // an attenuation that is not finite and >= 0.
    bool SetMinDistance(float distance);
    float GetMinDistance() const { return minDistance; }
    bool SetAttenuation(float attenuation);
    float GetAttenuation() const { return attenuation; }

    // Puts the one listener where the active camera is, facing where it faces;
    // without a camera at the origin facing -z, as the frame is drawn.
    void FollowCamera();

    void SetPauseAllSoundsAndMusic(bool pause);
    // Pauses what plays now, the now slot included, and later resumes exactly
    // that: sounds the game paused itself stay paused.
    void SuspendPlaying();
    void ResumeSuspended();
    void MuteAllSoundsAndMusic();
    void UnmuteAllSoundsAndMusic();

    // Stops and releases everything, the now slot included, and lets the
    // audio device close once no sound of the process is left. Streams run on
    // threads of their own, so this is done before the program ends.
    void Clear();

    std::size_t GetSoundCount() const { return sounds.size(); }
    std::size_t GetMusicCount() const { return musics.size(); }
    bool HasNowSound() const { return nowSound != nullptr; }

  private:
    static std::string PathOf(const std::string& fileName);
    bool OpenDevice();
    void ApplyDistanceSettings();

    AudioDevice device;
    std::vector<std::unique_ptr<SoundEntry>> sounds; // in start order
    std::vector<std::unique_ptr<MusicEntry>> musics; // in start order
    std::unique_ptr<SoundEntry> nowSound;
    std::vector<sf::SoundSource*> suspended;
    std::vector<std::unique_ptr<SoundEntry>> formerNowSounds; // playing on to their end
    bool soundsMuted = false;
    bool musicMuted = false;
    float musicPitch = 1.0f;
    // A world unit is a voxel: an effect is heard at full volume within five
    // of them and at half volume ten away.
    float minDistance = 5.0f;
    float attenuation = 1.0f;
};
