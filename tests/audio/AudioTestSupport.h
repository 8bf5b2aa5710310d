#pragma once

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "audio/SoundSystem.h"
#include "core/Core.h"
#include "core/Path.h"
#include "script/ScriptTestSupport.h"

// 16-bit PCM WAV files: written for the engine to play, read back from what
// OpenAL's wave backend mixed.
struct Wav {
    unsigned channels = 0;
    unsigned rate = 0;
    std::vector<std::int16_t> samples; // interleaved

    double Seconds() const { return double(samples.size()) / channels / rate; }
};

inline void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += char((v >> (8 * i)) & 0xff);
}
inline void PutU16(std::string& out, std::uint16_t v) {
    out += char(v & 0xff);
    out += char(v >> 8);
}

// A canonical header; `claimedDataBytes` may lie about the samples that follow.
inline std::string WavBytes(unsigned channels, unsigned rate, unsigned bits,
                            const std::vector<std::int16_t>& samples,
                            std::uint32_t claimedDataBytes) {
    std::string out = "RIFF";
    PutU32(out, 36 + claimedDataBytes);
    out += "WAVEfmt ";
    PutU32(out, 16);
    PutU16(out, 1);
    PutU16(out, std::uint16_t(channels));
    PutU32(out, rate);
    PutU32(out, rate * channels * bits / 8);
    PutU16(out, std::uint16_t(channels * bits / 8));
    PutU16(out, std::uint16_t(bits));
    out += "data";
    PutU32(out, claimedDataBytes);
    for (std::int16_t s : samples)
        PutU16(out, std::uint16_t(s));
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

// Reads a WAV the wave backend wrote: 16-bit PCM, plain or extensible header.
inline bool ReadWav(const std::string& path, Wav& wav, std::string& problem) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto u32 = [&](std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | std::uint8_t(bytes[at + i]);
        return v;
    };
    auto u16 = [&](std::size_t at) {
        return std::uint16_t(std::uint8_t(bytes[at]) | (std::uint8_t(bytes[at + 1]) << 8));
    };
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0) {
        problem = path + " is no WAV file (" + std::to_string(bytes.size()) + " bytes)";
        return false;
    }
    unsigned bits = 0;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        const std::uint32_t size = u32(at + 4);
        const std::size_t body = at + 8;
        if (id == "fmt ") {
            wav.channels = u16(body + 2);
            wav.rate = u32(body + 4);
            bits = u16(body + 14);
        } else if (id == "data") {
            if (bits != 16) {
                problem = "the wave backend wrote " + std::to_string(bits) + "-bit samples";
                return false;
            }
            // The size is only final once the device has closed; take what is there.
            const std::size_t end = std::min<std::size_t>(bytes.size(), body + size);
            for (std::size_t p = body; p + 1 < end; p += 2)
                wav.samples.push_back(std::int16_t(u16(p)));
            return true;
        }
        at = body + size + (size & 1);
    }
    problem = path + " has no data chunk";
    return false;
}

// Per block of `blockSeconds`, the loudest sample of any channel.
inline std::vector<int> BlockPeaks(const Wav& wav, double blockSeconds) {
    const std::size_t block = std::size_t(blockSeconds * wav.rate) * wav.channels;
    std::vector<int> peaks;
    for (std::size_t start = 0; start < wav.samples.size(); start += block) {
        int peak = 0;
        for (std::size_t i = start; i < std::min(wav.samples.size(), start + block); ++i)
            peak = std::max(peak, std::abs(int(wav.samples[i])));
        peaks.push_back(peak);
    }
    return peaks;
}

inline void Wait(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

// OpenAL reads its configuration once per process, when the first sound is
// made, so each process gets one output: "null" (plays in real time, heard by
// no one), "wave" (mixes into a file), or none at all (no driver that exists). ctest runs every
// test in a process of its own; run by hand, the tests of the other kind are skipped.
enum class AudioOutput { Null, Wave, Missing };

inline bool UseAudioOutput(AudioOutput output) {
    static const AudioOutput chosen = [&] {
        if (output == AudioOutput::Wave) {
            const std::string conf = (std::filesystem::temp_directory_path() /
                                      ("marrowvale-alsoft-" + std::to_string(::getpid()) + ".conf"))
                                         .string();
            std::ofstream(conf) << "[general]\ndrivers = wave\nfrequency = 44100\n"
                                   "channels = stereo\nsample-type = int16\n"
                                   // Dither would put noise into the silences.
                                   "dither = false\noutput-limiter = false\n"
                                   "[wave]\nfile = "
                                << conf.substr(0, conf.size() - 5) << ".wav\n";
            ::unsetenv("ALSOFT_DRIVERS");
            ::setenv("ALSOFT_CONF", conf.c_str(), 1);
        } else {
            ::setenv("ALSOFT_DRIVERS", output == AudioOutput::Null ? "null" : "no-such-driver", 1);
        }
        return output;
    }();
    return chosen == output;
}

inline std::string WaveOutputPath() {
    return (std::filesystem::temp_directory_path() /
            ("marrowvale-alsoft-" + std::to_string(::getpid()) + ".wav"))
        .string();
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

    static SoundSystem& system() { return *Core::Instance().SoundSystem_; }
    std::filesystem::path Sound(const std::string& name) const {
        return folder.path / "Sounds" / name;
    }

    TempFolder folder;
};
