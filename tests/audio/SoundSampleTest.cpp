// The sample game's sound, driven by real input: a left click plays the click
// in the now slot over the looping music, and M mutes everything.
#include "audio/AudioTestSupport.h"
#include "window/WindowTestSupport.h"

namespace {

class SoundSample : public WindowTest {
  protected:
    void Frame() override { Core::Instance().RunFrame(); }
};

TEST_F(SoundSample, ALeftClickPlaysTheClickAndMMutesTheMusic) {
    ASSERT_TRUE(UseAudioOutput(AudioOutput::Null));
    Core& core = Core::Instance();
    SoundSystem& sound = *core.SoundSystem_;
    core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
    core.Init();
    for (int i = 0; i < 10; ++i) // let the window settle
        core.RunFrame();
    EXPECT_EQ(sound.GetMusicCount(), 1u) << "the loop under the scene";
    EXPECT_FALSE(sound.HasNowSound());

    // Looked for at once: the click is short.
    Xdotool("mousemove --window $W 200 200 click 1");
    EXPECT_TRUE(FramesUntil([&] { return sound.HasNowSound(); })) << "the click was played";

    Keys("m");
    EXPECT_TRUE(FramesUntil([&] { return sound.IsMusicMuted(); })) << "M muted the music";
    sound.Clear();
}

} // namespace
