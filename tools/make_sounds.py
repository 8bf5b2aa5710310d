#!/usr/bin/env python3
"""Builds the sample game's sounds (resource/Sounds/*.wav).

Each sound is synthesised from a few sine partials with an envelope and saved
as 16-bit mono PCM WAV, which the engine plays as an effect or streams as
music. Run this again after changing a sound; the outputs are committed so the
game needs no build step.
"""
import math
import os
import struct
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resource", "Sounds")
RATE = 22050


def save(name, samples):
    with wave.open(os.path.join(OUT, name), "wb") as f:
        f.setnchannels(1)
        f.setsampwidth(2)
        f.setframerate(RATE)
        f.writeframes(b"".join(
            struct.pack("<h", int(max(-1.0, min(1.0, s)) * 32000)) for s in samples))


def tone(seconds, partials, attack=0.005, decay=8.0, gain=0.6):
    """Partials are (frequency, amplitude); the envelope rises over `attack`
    seconds and then falls exponentially at `decay` per second."""
    n = int(seconds * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        env = min(1.0, t / attack) * math.exp(-decay * t)
        # A short fade at the end keeps the last sample from clicking.
        env *= min(1.0, (n - i) / (0.004 * RATE))
        out.append(gain * env * sum(a * math.sin(2 * math.pi * f * t) for f, a in partials))
    return out


def click():
    return tone(0.08, [(1800, 0.6), (2700, 0.3), (5400, 0.1)], attack=0.001, decay=60.0)


def chime():
    return tone(0.6, [(880, 0.6), (1320, 0.25), (2640, 0.15)], decay=6.0)


def pop():
    n = int(0.15 * RATE)
    out = []
    for i in range(n):
        t = i / RATE
        f = 600 - 2400 * t  # a falling pitch
        out.append(0.7 * math.exp(-25 * t) * min(1.0, (n - i) / 40) *
                   math.sin(2 * math.pi * f * t))
    return out


def meadow_loop():
    """Two seconds of a soft arpeggio that loops without a seam."""
    notes = [392.0, 493.9, 587.3, 784.0, 587.3, 493.9, 392.0, 293.7]
    step = 0.25
    out = []
    for f in notes:
        out += tone(step, [(f, 0.7), (2 * f, 0.2)], attack=0.02, decay=5.0, gain=0.35)
    return out


if __name__ == "__main__":
    os.makedirs(OUT, exist_ok=True)
    save("click.wav", click())
    save("chime.wav", chime())
    save("pop.wav", pop())
    save("meadowLoop.wav", meadow_loop())
