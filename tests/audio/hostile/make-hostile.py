#!/usr/bin/env python3
# Writes the small sound files whose headers lie; run once, the files are committed.
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def wav(name, channels=1, rate=44100, bits=16, data=b"\x00\x01" * 33, chunks=None):
    block = max(1, channels * bits // 8) & 0xFFFF
    fmt = struct.pack("<HHIIHH", 1, channels, rate, (rate * block) & 0xFFFFFFFF, block, bits)
    if chunks is None:
        chunks = [(b"fmt ", fmt), (b"data", data)]
    body = b"WAVE" + b"".join(tag + struct.pack("<I", len(c)) + c for tag, c in chunks)
    with open(os.path.join(HERE, name), "wb") as out:
        out.write(b"RIFF" + struct.pack("<I", len(body)) + body)
    return fmt


fmt = wav("rate-4294967295.wav", rate=0xFFFFFFFF)
wav("channels-0.wav", channels=0)
wav("channels-255.wav", channels=255)
wav("channels-65535.wav", channels=65535)
wav("bits-12.wav", bits=12)
# SFML divides the data size by the sample size of a format chunk it has not met yet.
wav("data-before-format.wav", chunks=[(b"data", b"\x00\x01" * 33), (b"fmt ", fmt)])
wav("short-format.wav", chunks=[(b"fmt ", fmt[:8]), (b"data", b"\x00\x01" * 33)])

# FLAC: the STREAMINFO block alone, sample rate at its 20-bit maximum.
rate, channels, bits, samples = 0xFFFFF, 2, 16, 44100
info = struct.pack(">HH", 4096, 4096) + b"\x00\x00\x00" * 2
packed = (rate << 44) | ((channels - 1) << 41) | ((bits - 1) << 36) | samples
info += packed.to_bytes(8, "big") + bytes(16)
with open(os.path.join(HERE, "rate-1048575.flac"), "wb") as out:
    out.write(b"fLaC" + bytes([0x80]) + len(info).to_bytes(3, "big") + info)
