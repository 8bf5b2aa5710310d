#!/usr/bin/env python3
# Writes the small sound files whose headers lie; run once, the files are committed.
import os, struct

HERE = os.path.dirname(os.path.abspath(__file__))
DATA = b"\x00\x01" * 33


def write(name, data):
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(data)


def wav(name, channels=1, rate=44100, bits=16, chunks=None):
    fmt = struct.pack("<HHIIHH", 1, channels, rate, (rate * 2) & 0xFFFFFFFF, 2, bits)
    body = b"".join(t + struct.pack("<I", len(c)) + c for t, c in chunks or [(b"fmt ", fmt), (b"data", DATA)])
    write(name, b"RIFF" + struct.pack("<I", len(body) + 4) + b"WAVE" + body)
    return fmt


fmt = wav("rate-4294967295.wav", rate=0xFFFFFFFF)
for channels in (0, 255, 65535):
    wav("channels-%d.wav" % channels, channels=channels)
wav("bits-12.wav", bits=12)
# SFML divides the data size by the sample size of a format chunk it has not met yet.
wav("data-before-format.wav", chunks=[(b"data", DATA), (b"fmt ", fmt)])
wav("short-format.wav", chunks=[(b"fmt ", fmt[:8]), (b"data", DATA)])
# FLAC: the STREAMINFO block alone, sample rate at its 20-bit maximum, 2 channels, 16 bits.
info = struct.pack(">HH", 4096, 4096) + bytes(6) + ((0xFFFFF << 44) | (1 << 41) | (15 << 36) | 44100).to_bytes(8, "big")
write("rate-1048575.flac", b"fLaC\x80" + (len(info) + 16).to_bytes(3, "big") + info + bytes(16))
