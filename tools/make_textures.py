#!/usr/bin/env python3
"""Builds the sample game's images (resource/Textures/*.png).

Plain RGBA PNGs written with zlib alone, so no imaging package is needed. Run
this again after changing an image; the outputs are committed so the game
needs no build step.
"""
import math
import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resource", "Textures")


def save_png(name, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a) in 0..255, y = 0 the top row."""
    rows = bytearray()
    for y in range(height):
        rows.append(0)  # no filter
        for x in range(width):
            rows.extend(max(0, min(255, int(round(c)))) for c in pixel(x, y))

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)  # 8-bit RGBA
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(chunk(b"IHDR", header))
        f.write(chunk(b"IDAT", zlib.compress(bytes(rows), 9)))
        f.write(chunk(b"IEND", b""))


def coverage(distance):
    """Anti-aliased edge: 1 inside, 0 outside, a one-pixel ramp across the edge."""
    return max(0.0, min(1.0, 0.5 - distance))


def gem(x, y):
    """HUD badge: a faceted green gem in a gold ring, transparent outside."""
    cx = cy = 31.5
    dx, dy = x - cx, y - cy
    r = math.hypot(dx, dy)
    ring = coverage(abs(r - 27.0) - 3.0)
    diamond = coverage(abs(dx) + abs(dy) * 1.2 - 20.0)
    light = 0.65 + 0.35 * (-dx - dy) / 40.0  # lit from the top left
    facet = 0.85 if dx * dy > 0 else 1.0
    gold = (235 * light, 190 * light, 60 * light)
    green = (40 * light * facet, 210 * light * facet, 120 * light * facet)
    a = max(ring, diamond)
    if a == 0.0:
        return (0, 0, 0, 0)
    colour = green if diamond >= ring else gold
    return colour + (255 * a,)


def glow(x, y):
    """World billboard: a warm lantern glow, a bright core fading out to the edge."""
    cx = cy = 31.5
    r = math.hypot(x - cx, y - cy) / 32.0
    core = max(0.0, 1.0 - r) ** 1.2
    return (255, 170 + 85 * core, 50 + 170 * core, 255 * min(1.0, 1.8 * core))


def main():
    os.makedirs(OUT, exist_ok=True)
    save_png("gem.png", 64, 64, gem)
    save_png("glow.png", 64, 64, glow)


if __name__ == "__main__":
    main()
