#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

#include <sys/resource.h>

#include <SFML/Audio/InputSoundFile.hpp>

#include "audio/SoundSystem.h"
#include "base/Path.h"
#include "core/Core.h"
#include "script/ScriptTestSupport.h"

// A WAV header with `claimedDataBytes` that may lie about the samples after it.
inline std::string WavBytes(unsigned channels, unsigned rate, unsigned bits,
                            const std::vector<std::int16_t>& samples,
                            std::uint32_t claimedDataBytes) {
    std::string out;
    auto put = [&](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out += char((v >> (8 * i)) & 0xff);
    };
    out += "RIFF";
    put(36 + claimedDataBytes, 4);
    out += "WAVEfmt ";
    put(16, 4);
    put(1, 2);
    put(channels, 2);
    put(rate, 4);
    put(rate * channels * bits / 8, 4);
    put(channels * bits / 8, 2);
    put(bits, 2);
    out += "data";
    put(claimedDataBytes, 4);
    for (std::int16_t s : samples)
        put(std::uint16_t(s), 2);
    return out;
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

inline void WriteWav(const std::filesystem::path& path, unsigned channels, unsigned rate,
                     const std::vector<std::int16_t>& samples) {
    WriteFile(path, WavBytes(channels, rate, 16, samples, std::uint32_t(samples.size() * 2)));
}

// A mono sine at `amplitude` (0 to 1) of full scale.
inline std::vector<std::int16_t> Tone(double seconds, unsigned rate, double amplitude,
                                      double frequency = 440.0) {
    std::vector<std::int16_t> out(std::size_t(seconds * rate));
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = std::int16_t(
            std::lround(amplitude * 32767.0 * std::sin(2.0 * M_PI * frequency * double(i) / rate)));
    return out;
}

// While alive, this process may map only `headroom` bytes more than it has now:
// an allocation sized from a lying header then fails instead of taking the machine.
class AddressSpaceCap {
  public:
    explicit AddressSpaceCap(std::size_t headroom) {
        std::size_t pages = 0;
        std::ifstream("/proc/self/statm") >> pages;
        ::getrlimit(RLIMIT_AS, &saved);
        rlimit cap = saved;
        cap.rlim_cur = pages * ::sysconf(_SC_PAGESIZE) + headroom;
        ::setrlimit(RLIMIT_AS, &cap);
    }
    ~AddressSpaceCap() { ::setrlimit(RLIMIT_AS, &saved); }

  private:
    rlimit saved{};
};

inline void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// OpenAL reads its configuration once per process, when the first sound is
// made, so each process gets one output: "null" (plays in real time, heard by
// no one), "wave" (mixes into a file), or none at all (no driver that exists). ctest runs every
// test in a process of its own; run by hand, the tests of the other kind are skipped.
enum class AudioOutput { Null, Wave, Missing };

// The wave backend's configuration (".conf") and the file it mixes into (".wav").
inline std::string WaveOutputPath(const char* extension = ".wav") {
    return (std::filesystem::temp_directory_path() /
            ("marrowvale-alsoft-" + std::to_string(::getpid()) + extension))
        .string();
}

inline bool UseAudioOutput(AudioOutput output) {
    static const AudioOutput chosen = [&] {
        if (output == AudioOutput::Wave) {
            const std::string conf = WaveOutputPath(".conf");
            std::ofstream(conf) << "[general]\ndrivers = wave\nfrequency = 44100\n"
                                   "channels = stereo\nsample-type = int16\n"
                                   // Dither would put noise into the silences.
                                   "dither = false\noutput-limiter = false\n"
                                   "[wave]\nfile = "
                                << WaveOutputPath() << "\n";
            ::unsetenv("ALSOFT_DRIVERS");
            ::setenv("ALSOFT_CONF", conf.c_str(), 1);
        } else {
            ::setenv("ALSOFT_DRIVERS", output == AudioOutput::Null ? "null" : "no-such-driver", 1);
        }
        return output;
    }();
    return chosen == output;
}

// The engine's sound system playing from a Sounds/ folder of the test's own,
// driven from scripts through `sound`.
class SoundTest : public ScriptTest {
  protected:
    void SetUpOutput(AudioOutput output) {
        if (!UseAudioOutput(output))
            GTEST_SKIP() << "this process already chose the other audio output; run the test alone";
        ScriptTest::SetUp();
        std::filesystem::create_directories(folder.path / "Sounds");
        SetResourceFolder(folder.path.string());
        ASSERT_EQ(Eval("var sound = Core.Instance().SoundSystem_; 'ok'"), "ok");
    }
    void TearDown() override {
        system().Clear();
        SetResourceFolder("");
    }

    // Runs statements that must not fail.
    static void Run(const std::string& source) { EXPECT_EQ(ErrorOf(source), "") << source; }
    static SoundSystem& system() { return *Core::Instance().SoundSystem_; }
    std::filesystem::path Sound(const std::string& name) const {
        return folder.path / "Sounds" / name;
    }

    TempFolder folder;
};
