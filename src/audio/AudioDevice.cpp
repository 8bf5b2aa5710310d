#include "audio/AudioDevice.h"

#include <iostream>

#include <AL/alc.h>
#include <SFML/Audio/AlResource.hpp>

// An SFML audio object with nothing to play: while one exists, so does the
// device and its context.
class AudioDevice::Hold : private sf::AlResource {};

AudioDevice::AudioDevice() = default;
AudioDevice::~AudioDevice() = default;

bool AudioDevice::Open() {
    if (failed)
        return false;
    if (hold)
        return true;
    hold = std::make_unique<Hold>();
    if (alcGetCurrentContext())
        return true;
    hold.reset();
    failed = true;
    std::cerr << "Sound is off: no audio device could be opened. Where there is no sound "
                 "card, ALSOFT_DRIVERS=null plays sounds silently.\n";
    return false;
}

void AudioDevice::Close() {
    hold.reset();
}
