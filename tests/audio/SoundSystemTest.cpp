// The sound system's bookkeeping, played on OpenAL's null output: sounds run in
// real time and end, but nothing is heard.
#include "audio/AudioTestSupport.h"

namespace {

constexpr unsigned kRate = 22050;

class SoundSystemTest : public SoundTest {
  protected:
    void SetUp() override { SetUpOutput(AudioOutput::Null); }
};

TEST_F(SoundSystemTest, EffectsNowSlotMusicAndPausingFollowTheirLifetimesAndBadFilesLeaveNothing) {
    WriteWav(Sound("short.wav"), 1, kRate, Tone(0.1, kRate, 0.5));
    WriteWav(Sound("long.wav"), 2, kRate, Tone(2.0, kRate, 0.5));

    // The same file twice is two effects, each with its own copy.
    Run("sound.PlaySound('long.wav', 70, false); sound.PlaySound('long.wav', 70, true);"
        "sound.PlaySound('short.wav', 70, false); sound.PlaySoundNow('short.wav', 40);");
    EXPECT_EQ(system().GetSoundCount(), 3u);
    EXPECT_TRUE(system().HasNowSound());

    // Paused effects are kept; the short one and the now slot are not paused
    // (the slot never is) and finish.
    Run("sound.SetPauseAllSounds(true);");
    Wait(0.4);
    system().Update(0.0f);
    EXPECT_EQ(system().GetSoundCount(), 3u) << "paused before it ended, so it is kept";
    EXPECT_FALSE(system().HasNowSound()) << "the now slot plays on through a pause";

    // Resuming continues the paused ones; the short one then ends, and resuming
    // again, even before the update has released it, does not replay it.
    Run("sound.SetPauseAllSounds(false);");
    Wait(0.3);
    Run("sound.SetPauseAllSounds(false);");
    system().Update(0.0f);
    EXPECT_EQ(system().GetSoundCount(), 2u);
    Run("sound.SetPauseAllSoundsAndMusic(false);");
    system().Update(0.0f);
    EXPECT_EQ(system().GetSoundCount(), 2u);

    // A new sound in the now slot takes it; effects muted start nothing.
    Run("sound.PlaySoundNow('long.wav', 40); sound.PlaySoundNow('short.wav', 40);"
        "sound.MuteAllSoundsAndMusic(); sound.PlaySound('short.wav', 100, true);"
        "sound.PlaySoundNow('long.wav', 40);");
    EXPECT_EQ(system().GetSoundCount(), 2u);
    Wait(0.3);
    system().Update(0.0f);
    EXPECT_FALSE(system().HasNowSound()) << "the short one took the slot and ended";
    Run("sound.UnmuteAllSoundsAndMusic();");
    EXPECT_EQ(system().GetSoundCount(), 2u);

    // StopMusic stops the streams of that file only; ended streams are released.
    WriteWav(Sound("a.wav"), 1, kRate, Tone(2.0, kRate, 0.5));
    Run("sound.PlayMusic('a.wav', 50, true); sound.PlayMusic('long.wav', 50, false);"
        "sound.PlayMusic('a.wav', 50, false); sound.PlayMusic('short.wav', 50, false);");
    EXPECT_EQ(system().GetMusicCount(), 4u);
    Wait(0.4);
    system().Update(0.0f);
    EXPECT_EQ(system().GetMusicCount(), 3u) << "the ended short one is released";

    Run("sound.StopMusic('a.wav');");
    EXPECT_EQ(system().GetMusicCount(), 1u) << "both streams of a.wav stopped, long.wav plays on";
    Run("sound.StopMusic('missing.wav'); sound.SetPauseAllMusic(true);");
    Wait(0.1);
    system().Update(0.0f);
    EXPECT_EQ(system().GetMusicCount(), 1u) << "a paused stream is kept";
    Run("sound.StopAllMusic();");
    EXPECT_EQ(system().GetMusicCount(), 0u);
    system().Clear();

    // Unplayable files are reported with their path and leave nothing behind.
    const std::vector<std::int16_t> tone = Tone(0.05, kRate, 0.5);
    WriteFile(Sound("noise.wav"), std::string(4000, '\x5a'));
    WriteFile(Sound("cut.wav"), WavBytes(1, kRate, 16, tone, 200).substr(0, 30));
    WriteFile(Sound("silent.wav"), WavBytes(1, kRate, 16, {}, 0));
    WriteFile(Sound("nochannels.wav"), WavBytes(0, kRate, 16, tone, 200));
    WriteFile(Sound("threechannels.wav"), WavBytes(3, kRate, 16, tone, 200));
    WriteFile(Sound("slow.wav"), WavBytes(1, 10, 16, tone, 200));
    std::filesystem::create_directories(Sound("folder.wav"));
    // A header claiming four gigabytes: what is really there plays.
    WriteFile(Sound("liar.wav"), WavBytes(1, kRate, 16, tone, 0xfffffff0u));

    // Files whose headers lie, named with what the report must say. sf::Music
    // sizes a second of samples from the header, so without the check the rate
    // of 4294967295 asks for 8 GB, more than the cap below lets this process have.
    const std::string hostile = MARROWVALE_SOURCE_DIR "/tests/audio/hostile/";
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"missing.wav", ""},
        {"noise.wav", ""},
        {"cut.wav", ""},
        {"silent.wav", ""},
        {"nochannels.wav", "it has 0 channels"},
        {"slow.wav", "its sample rate is 10 Hz"},
        {"folder.wav", ""},
        {"threechannels.wav", "it has 3 channels"},
        {hostile + "rate-4294967295.wav", "its sample rate is 4294967295 Hz"},
        {hostile + "rate-1048575.flac", "its sample rate is 1048575 Hz"},
        {hostile + "channels-255.wav", "it has 255 channels"},
        {hostile + "channels-65535.wav", "it has 65535 channels"},
        {hostile + "bits-12.wav", "it has 12 bits a sample"},
        {hostile + "data-before-format.wav", "its data chunk comes before its format chunk"},
        {hostile + "short-format.wav", "its format chunk is 8 bytes"},
    };
    const AddressSpaceCap cap(std::size_t(2) << 30);
    for (const auto& [name, why] : bad) {
        SCOPED_TRACE(name);
        const std::string path = name[0] == '/' ? name : Sound(name).string();
        for (const char* call : {"PlaySound('%', 100, false)", "PlaySoundNow('%', 100)",
                                 "PlayMusic('%', 100, true)"}) {
            std::string script = std::string("sound.") + call + "; 'ok'";
            script.replace(script.find('%'), 1, name);
            testing::internal::CaptureStderr();
            const std::string result = Eval(script);
            const std::string said = testing::internal::GetCapturedStderr();
            EXPECT_EQ(result, "ok") << "a bad file is no script error";
            EXPECT_NE(said.find(path + ": " + why), std::string::npos) << said;
            EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << "one line: " << said;
        }
    }
    EXPECT_EQ(system().GetSoundCount(), 0u);
    EXPECT_FALSE(system().HasNowSound());
    EXPECT_EQ(system().GetMusicCount(), 0u);

    Run("sound.PlaySound('liar.wav', 100, false); sound.PlayMusic('liar.wav', 100, false);");
    EXPECT_EQ(system().GetSoundCount(), 1u);
    Wait(0.3);
    system().Update(0.0f);
    EXPECT_EQ(system().GetSoundCount(), 0u) << "it played its few real samples and ended";

    // Volumes out of range are taken to the nearest end rather than refused by
    // the device.
    WriteWav(Sound("ok.wav"), 1, kRate, tone);
    testing::internal::CaptureStderr();
    Run("sound.PlaySound('ok.wav', -5, false); sound.PlaySound('ok.wav', 1e9, false);"
        "sound.PlaySound('ok.wav', NaN, false);");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(system().GetSoundCount(), 3u);

    // Named as the other loaders take files, or by an absolute path, as well.
    const std::string absolute = Sound("ok.wav").string();
    testing::internal::CaptureStderr();
    Run("sound.PlaySound('../resource/Sounds/ok.wav', 50, false); sound.PlaySound('" + absolute +
        "', 50, false); sound.PlaySoundNow('../resource/Sounds/ok.wav', 50);"
        "sound.PlayMusic('../resource/Sounds/ok.wav', 50, true); sound.PlayMusic('" +
        absolute + "', 50, true); sound.StopMusic('../resource/Sounds/ok.wav');");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_EQ(system().GetSoundCount(), 5u);
    EXPECT_TRUE(system().HasNowSound());
    EXPECT_EQ(system().GetMusicCount(), 0u) << "both streams of ok.wav stopped";
}

class SoundWithoutDevice : public SoundTest {
  protected:
    void SetUp() override { SetUpOutput(AudioOutput::Missing); }
};

TEST_F(SoundWithoutDevice, IsReportedOnceAndEveryPlayDoesNothing) {
    WriteWav(Sound("ok.wav"), 1, kRate, Tone(0.5, kRate, 0.5));
    testing::internal::CaptureStderr();
    Run("sound.PlaySound('ok.wav', 100, true); sound.PlaySoundNow('ok.wav', 100);"
        "sound.PlayMusic('ok.wav', 100, true); sound.PlaySound('ok.wav', 100, true);"
        "sound.MuteAllSoundsAndMusic(); sound.SetPauseAllSoundsAndMusic(false);");
    system().Update(0.0f);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(system().GetSoundCount() + system().GetMusicCount(), 0u);
    EXPECT_FALSE(system().HasNowSound());
    EXPECT_NE(said.find("Sound is off: no audio device"), std::string::npos) << said;
    EXPECT_EQ(said.find("OpenAL call failed"), std::string::npos) << said;
    EXPECT_EQ(said.find("Sound is off"), said.rfind("Sound is off")) << "said once: " << said;
}

} // namespace
