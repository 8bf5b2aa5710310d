// The sample game's sound, driven by real input: a left click plays the click
// in the now slot over the looping music, and M mutes everything.
#include <cstdlib>

#include "audio/AudioTestSupport.h"
#include "window/WindowSystem.h"

namespace {

TEST(SoundSample, ALeftClickPlaysTheClickAndMMutesTheMusic) {
    if (!std::getenv("DISPLAY") || std::system("command -v xdotool >/dev/null") != 0)
        GTEST_SKIP() << "needs a display and xdotool";
    ASSERT_TRUE(UseAudioOutput(AudioOutput::Null));
    Core& core = Core::Instance();
    SoundSystem& sound = *core.SoundSystem_;
    core.SetResourceDir(std::string(MARROWVALE_SOURCE_DIR) + "/resource");
    core.Init();
    auto frames = [&](auto done) {
        for (int i = 0; i < 300 && !done(); ++i)
            core.RunFrame();
        return done();
    };
    for (int i = 0; i < 10; ++i) // let the window settle
        core.RunFrame();
    EXPECT_EQ(sound.GetMusicCount(), 1u) << "the loop under the scene";
    EXPECT_FALSE(sound.HasNowSound());

    const std::string window = std::to_string(core.WindowSystem_->GetWindow().getSystemHandle());
    ASSERT_EQ(std::system(("xdotool mousemove --window " + window + " 200 200 click 1").c_str()),
              0);
    EXPECT_TRUE(frames([&] { return sound.HasNowSound(); })) << "the click was played";

    ASSERT_EQ(std::system(("xdotool key --window " + window + " m").c_str()), 0);
    EXPECT_TRUE(frames([&] { return sound.IsMusicMuted(); })) << "M muted the music";
    sound.Clear();
}

} // namespace
