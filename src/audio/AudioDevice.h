#pragma once

#include <memory>

// SFML opens the audio device when its first sound object is made and closes it
// when its last one goes, and when no device opens every later call fails
// loudly: each failed OpenAL call prints several lines, and a stream's thread
// keeps failing for as long as it runs. Holding the device open before any
// sound is made lets the engine see the failure once, say so, and play nothing.
class AudioDevice {
  public:
    AudioDevice();
    ~AudioDevice();
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;

    // Opens the device if it is not open yet. False when there is none; the
    // first failure is reported and no later call tries again.
    bool Open();
    // Lets SFML close the device once no sound is left.
    void Close();

  private:
    class Hold;
    std::unique_ptr<Hold> hold;
    bool failed = false;
};
