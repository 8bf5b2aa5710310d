#!/usr/bin/env python3
"""Builds the sample game's voxel models (resource/Models/*.vxm, *.vox).

A .vxm file is a little-endian u32 voxel count followed by, per voxel, eight
float32: colour r, g, b, a and position x, y, z, w. A .vox file is the chunked
exchange format other voxel editors open (see docs/voxel-models.md). Run this
again after changing a model; the outputs are committed so the game needs no
build step.
"""
import os
import random
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "resource", "Models")


def save(name, voxels):
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(struct.pack("<I", len(voxels)))
        for (r, g, b, a), (x, y, z) in voxels:
            f.write(struct.pack("<8f", r, g, b, a, x, y, z, 1.0))


def chunk(tag, content, children=b""):
    return tag + struct.pack("<II", len(content), len(children)) + content + children


def save_vox(name, voxels):
    """One model, y-up positions turned into the format's z-up, own palette."""
    cells = [((x, -z, y), rgba) for rgba, (x, y, z) in voxels]
    low = [min(c[0][i] for c in cells) for i in range(3)]
    high = [max(c[0][i] for c in cells) for i in range(3)]
    palette = []
    data = b""
    for (x, y, z), rgba in cells:
        key = tuple(min(255, max(0, round(c * 255))) for c in rgba)
        if key not in palette:
            palette.append(key)
        data += bytes((x - low[0], y - low[1], z - low[2], palette.index(key) + 1))
    assert len(palette) <= 255 and all(h - l < 256 for l, h in zip(low, high))
    rgba = b"".join(bytes(c) for c in palette).ljust(1024, b"\0")
    size = struct.pack("<3I", *(h - l + 1 for l, h in zip(low, high)))
    body = (chunk(b"SIZE", size) + chunk(b"XYZI", struct.pack("<I", len(cells)) + data)
            + chunk(b"RGBA", rgba))
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(b"VOX " + struct.pack("<I", 150) + chunk(b"MAIN", b"", body))


def shade(rng, rgb, spread=0.08):
    k = 1.0 + rng.uniform(-spread, spread)
    return tuple(min(1.0, c * k) for c in rgb) + (1.0,)


def tree(rng):
    voxels = []
    for y in range(4):
        voxels.append((shade(rng, (0.45, 0.30, 0.16)), (0, y, 0)))
    for x in range(-2, 3):
        for y in range(4, 8):
            for z in range(-2, 3):
                if abs(x) + abs(z) + abs(y - 5.5) <= 3.6:
                    voxels.append((shade(rng, (0.22, 0.62, 0.24), 0.15), (x, y, z)))
    return voxels


def house(rng):
    voxels = []
    for x in range(-3, 4):
        for z in range(-3, 4):
            for y in range(0, 4):
                wall = abs(x) == 3 or abs(z) == 3
                door = z == 3 and x == 0 and y < 2
                window = abs(x) == 3 and z == 0 and y == 2
                if wall and not door and not window:
                    voxels.append((shade(rng, (0.85, 0.80, 0.70)), (x, y, z)))
    for level in range(4):
        for x in range(-4 + level, 5 - level):
            for z in range(-4, 5):
                gable = abs(z) == 4 and abs(x) < 4 - level
                if abs(x) == 4 - level or level == 3 or gable:
                    voxels.append((shade(rng, (0.70, 0.20, 0.15)), (x, 4 + level, z)))
    return voxels


def crystal(rng):
    voxels = []
    for y in range(7):
        r = 2 - abs(y - 3) * 2 // 3
        for x in range(-r, r + 1):
            for z in range(-r, r + 1):
                if abs(x) + abs(z) <= r:
                    voxels.append(((0.35, 0.75, 0.95, 1.0), (x, y, z)))
    return voxels


def ground(rng):
    voxels = []
    for x in range(-12, 13):
        for z in range(-12, 13):
            voxels.append((shade(rng, (0.36, 0.55, 0.25), 0.12), (x, 0, z)))
    return voxels


def test_plate(rng):
    """The demo's test model: a 9 x 9 tile, one voxel thick, in a two-tone checker
    whose hue runs from corner to corner, so each copy's orientation shows."""
    voxels = []
    for x in range(-4, 5):
        for z in range(-4, 5):
            t = (x + z + 8) / 16.0
            base = (0.25 + 0.6 * t, 0.35, 0.85 - 0.6 * t)
            if (x + z) % 2:
                base = tuple(c * 0.7 for c in base)
            voxels.append((shade(rng, base, 0.05), (x, 0, z)))
    return voxels


def crumble_cube(rng):
    """The demo's crumble cube: 5 x 5 x 5 voxels standing on y = 0 around the
    vertical axis; each voxel becomes one physics piece."""
    voxels = []
    for y in range(5):
        for x in range(-2, 3):
            for z in range(-2, 3):
                voxels.append((shade(rng, (0.95, 0.55, 0.15), 0.15), (x, y, z)))
    return voxels


def well(rng):
    """A stone well with a wooden roof and a bucket: several colours for the palette."""
    voxels = []
    for x in range(-2, 3):
        for z in range(-2, 3):
            for y in range(0, 2):
                if max(abs(x), abs(z)) == 2:
                    voxels.append((shade(rng, (0.55, 0.55, 0.58), 0.15), (x, y, z)))
            if max(abs(x), abs(z)) < 2:
                voxels.append(((0.15, 0.35, 0.75, 1.0), (x, 0, z)))
    for y in range(2, 5):
        voxels.append(((0.45, 0.28, 0.12, 1.0), (-2, y, 0)))
        voxels.append(((0.45, 0.28, 0.12, 1.0), (2, y, 0)))
    for x in range(-3, 4):
        for z in range(-1, 2):
            voxels.append((shade(rng, (0.62, 0.18, 0.12)), (x, 5 + (1 - abs(z)), z)))
    voxels.append(((0.80, 0.65, 0.20, 1.0), (0, 3, 0)))
    return voxels


def main():
    os.makedirs(OUT, exist_ok=True)
    rng = random.Random(7)
    save("tree.vxm", tree(rng))
    save("house.vxm", house(rng))
    save("crystal.vxm", crystal(rng))
    save("ground.vxm", ground(rng))
    save("testVoxels2.vxm", test_plate(rng))
    save("voxelCube.vxm", crumble_cube(rng))
    save_vox("well.vox", well(rng))


if __name__ == "__main__":
    main()
