// What the sound system really sends to the device, heard through OpenAL's
// wave backend: the mixed output lands in a WAV file that is read back once the
// last sound is gone and the device has closed.
#include "audio/AudioTestSupport.h"

namespace {

constexpr unsigned kRate = 44100;

class SoundOutput : public SoundTest {
  protected:
    void SetUp() override { SetUpOutput(AudioOutput::Wave); }

    // Releases every sound, which closes the device and finishes the file, and reads
    // the interleaved stereo samples back with SFML's own reader.
    static std::vector<std::int16_t> Recording() {
        system().Clear();
        sf::InputSoundFile file;
        EXPECT_TRUE(file.openFromFile(WaveOutputPath()));
        EXPECT_EQ(file.getSampleRate(), kRate);
        EXPECT_EQ(file.getChannelCount(), 2u);
        std::vector<std::int16_t> samples(std::size_t(file.getSampleCount()));
        samples.resize(std::size_t(file.read(samples.data(), samples.size())));
        return samples;
    }
};

// The recording as alternating stretches of sound and silence, in 10 ms
// blocks, from the first sound to the last.
struct Stretch {
    bool loud;
    int blocks, peak;
};
std::vector<Stretch> Runs(const std::vector<std::int16_t>& samples) {
    std::vector<Stretch> runs;
    const std::size_t block = kRate / 100 * 2;
    for (std::size_t start = 0; start < samples.size(); start += block) {
        int peak = 0;
        for (std::size_t i = start; i < std::min(samples.size(), start + block); ++i)
            peak = std::max(peak, std::abs(int(samples[i])));
        if (runs.empty() || runs.back().loud != (peak > 0))
            runs.push_back({peak > 0, 0, 0});
        ++runs.back().blocks;
        runs.back().peak = std::max(runs.back().peak, peak);
    }
    if (!runs.empty() && !runs.back().loud)
        runs.pop_back();
    if (!runs.empty() && !runs.front().loud)
        runs.erase(runs.begin());
    return runs;
}

TEST_F(SoundOutput, EffectsAndMusicPlayAtTheirVolumesMuteUntilUnmutedAndPlacedOnesFollowTheCamera) {
    WriteWav(Sound("tone.wav"), 1, kRate, Tone(0.25, kRate, 0.5));

    // One effect at full volume: a quarter second of tone, then silence.
    Run("sound.PlaySound('tone.wav', 100, false);");
    EXPECT_EQ(system().GetSoundCount(), 1u);
    Wait(0.6);
    system().Update(0.0f);
    EXPECT_EQ(system().GetSoundCount(), 0u) << "a finished effect is released by the update";
    Run("sound.SetPauseAllSounds(false);");
    EXPECT_EQ(system().GetSoundCount(), 0u);

    const std::vector<std::int16_t> full = Recording();
    std::size_t first = full.size(), last = 0;
    int fullPeak = 0;
    for (std::size_t i = 0; i < full.size(); ++i)
        if (full[i] != 0) {
            first = std::min(first, i);
            last = i;
            fullPeak = std::max(fullPeak, std::abs(int(full[i])));
        }
    ASSERT_LT(first, last) << "the effect left no sound in the output";
    const double heard = double(last - first + 1) / 2 / kRate;
    EXPECT_NEAR(heard, 0.25, 0.01) << "played once, for its own length";
    EXPECT_GT(fullPeak, 32767 * 0.5 * 0.5) << "a half-scale tone at full volume";

    // A looping effect at half volume, muted for a while, then unmuted: the
    // middle is silent and the end comes back at the half volume it had.
    Run("sound.PlaySound('tone.wav', 50, true);");
    Wait(0.4);
    Run("sound.MuteAllSounds(); sound.MuteAllSounds();");
    Wait(0.4);
    Run("sound.PlaySound('tone.wav', 100, true); sound.UnmuteAllSounds();");
    EXPECT_EQ(system().GetSoundCount(), 1u) << "nothing starts while effects are muted";
    Wait(0.4);

    std::vector<Stretch> runs = Runs(Recording());
    ASSERT_EQ(runs.size(), 3u) << "sound, muted silence, sound";
    EXPECT_GT(runs[1].blocks, 25) << "muting silenced the loop for most of 0.4 s";
    EXPECT_NEAR(runs[0].peak, fullPeak * 0.5, fullPeak * 0.06) << "volume 50 is half of 100";
    EXPECT_NEAR(runs[2].peak, runs[0].peak, fullPeak * 0.06)
        << "unmuting restores the volume before muting";

    // Music started while muted runs silently and unmutes to its own volume; the
    // tone as an effect first marks where the silence begins.
    Run("sound.PlaySound('tone.wav', 100, false);");
    Wait(0.45);
    ASSERT_EQ(Eval("sound.MuteAllMusic(); sound.PlayMusic('tone.wav', 80, true);"
                   "sound.IsMusicMuted()"),
              "true");
    EXPECT_EQ(system().GetMusicCount(), 1u);
    Wait(0.6);
    system().Update(0.0f);
    EXPECT_EQ(system().GetMusicCount(), 1u) << "a silent stream still runs";
    ASSERT_EQ(Eval("sound.UnmuteAllMusic(); sound.IsMusicMuted()"), "false");
    Wait(0.6);
    Run("sound.SetPauseAllMusic(true);");
    Wait(0.4);

    // The effect, the muted stream, the unmuted stream.
    runs = Runs(Recording());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_GT(runs[1].blocks, 45) << "not one buffer of the muted stream was heard";
    EXPECT_GT(runs[2].blocks, 45) << "the unmuted stream";
    EXPECT_LT(runs[2].blocks, 90) << "pausing stopped it before its last 0.4 s";
    // Unmuted, the stream plays at the 80 given to PlayMusic, not at the 100 an
    // unmute falls back on.
    EXPECT_NEAR(runs[2].peak, fullPeak * 0.8, fullPeak * 0.04);

    // Placed effects are heard from the camera; unplaced ones as recorded.
    WriteWav(Sound("duet.wav"), 2, kRate, Tone(0.25, kRate, 0.5));
    Run("var cam = Core.Instance().objectManager.NewObject();"
        "var eye = ObjectManager.AddTransformComponent(cam); ObjectManager.AddCameraComponent(cam);"
        "ObjectManager.InitializeObj(cam); ObjectManager.CameraComponent(cam).SetActive(true);");
    // The loudest sample of the left and of the right channel.
    auto peaksOf = [this](const std::string& call) {
        Run(call);
        Wait(0.4);
        const std::vector<std::int16_t> samples = Recording();
        int peaks[2] = {0, 0};
        for (std::size_t i = 0; i < samples.size(); ++i)
            peaks[i % 2] = std::max(peaks[i % 2], std::abs(int(samples[i])));
        return std::make_pair(peaks[0], peaks[1]);
    };
    // -x is on the left of a camera looking down -z.
    auto [l, r] = peaksOf("sound.PlaySoundAt('tone.wav', [-3, 0, 0], 100, 1);");
    EXPECT_GT(l, 2 * r);
    std::tie(l, r) = peaksOf("sound.PlaySoundAt('tone.wav', [3, 0, 0], 100, 1);");
    EXPECT_GT(r, 2 * l);
    // Within minDistance (5) at full volume, 50 away at 5 / (5 + 45) of it.
    const int ahead = peaksOf("sound.PlaySoundAt('tone.wav', [0, 0, 4], 100, 1);").first;
    EXPECT_NEAR(peaksOf("sound.PlaySoundAt('tone.wav', [0, 0, 50], 100, 1);").first, ahead * 0.1,
                ahead * 0.02);

    // Unplaced effects, and a stereo file given a place, sound as recorded wherever the camera is.
    std::tie(l, r) =
        peaksOf("eye.position = [100, 0, 0]; sound.PlaySound('tone.wav', 100, false);");
    EXPECT_TRUE(std::abs(l - r) <= 2 && l > ahead / 2) << l << " " << r;
    std::tie(l, r) = peaksOf("sound.PlaySoundAt('duet.wav', [90, 0, 0], 100, 1);");
    EXPECT_NE(host().GetLastError().find("duet.wav has 2 channels"), std::string::npos);
    EXPECT_TRUE(std::abs(l - r) <= 2 && l > ahead / 2) << l << " " << r;

    for (const char* bad :
         {"sound.minDistance = 0", "sound.attenuation = -1", "sound.attenuation = NaN",
          "sound.SetMusicPitch(0)", "sound.PlaySoundAt('tone.wav', [0, NaN, 0], 100, 1)"})
        EXPECT_NE(ErrorOf(bad).find("must be"), std::string::npos) << bad;
    EXPECT_EQ(Eval("[sound.minDistance, sound.attenuation].join()"), "5,1");
}

} // namespace
