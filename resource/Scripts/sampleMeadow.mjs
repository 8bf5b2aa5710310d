// Wild grass and flowers on the meadow. Where they grow is read from simplex
// noise (the npm package simplex-noise), so they gather in drifts with bare
// grass between, as a real meadow does, instead of the even scatter plain
// random numbers give.
import { createNoise2D } from "simplex-noise";
import { ObjectManager, VoxelModel } from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

// The package shuffles its noise tables with Math.random unless given another
// source. A seeded one of our own (mulberry32: a 32-bit state, tiny and
// well mixed) makes every start, every rebuild of the village and every
// screenshot show the same meadow.
export function SeededRandom(seed) {
    let state = seed >>> 0;
    return () => {
        state = (state + 0x6d2b79f5) >>> 0;
        let t = Math.imul(state ^ (state >>> 15), state | 1);
        t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
        return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
    };
}

const seed = 11;
// The meadow's voxels sit at -12 ... 12; the outer ring stays bare, where a
// raised cell's sides would lie on the meadow's own edge and flicker with it.
const reach = 11;
const grassLow = [0.2, 0.44, 0.12, 1], grassHigh = [0.5, 0.72, 0.24, 1];
const petals = [[0.96, 0.94, 0.86, 1], [0.98, 0.83, 0.22, 1], [0.93, 0.45, 0.62, 1],
                [0.55, 0.6, 0.95, 1]];

function Mix(a, b, t) {
    return a.map((v, i) => v + (b[i] - v) * t);
}

// Cells (x, z) under anything standing on the meadow, one cell of room
// around each, so nothing grows through a wall or a crate.
function Covered(scene) {
    const standing = [scene.house, ...scene.trees, scene.crystal, ...scene.crates, scene.well,
                      ...(scene.flowerBeds || []), scene.userModel].filter(Boolean);
    const covered = new Set();
    for (const obj of standing) {
        const at = ObjectManager.TransformComponent(obj).position;
        const half = ObjectManager.HasVoxelModelComponent(obj)
                         ? ObjectManager.VoxelModelComponent(obj).GetHalfExtents() : [0.5, 0.5, 0.5];
        for (let x = Math.floor(at[0] - half[0]); x <= Math.ceil(at[0] + half[0]); ++x)
            for (let z = Math.floor(at[2] - half[2]); z <= Math.ceil(at[2] + half[2]); ++z)
                covered.add(x + "," + z);
    }
    return covered;
}

// One model for the whole meadow: a few hundred voxels drawn as one. Each is
// a whole cube sunk into the ground, so that only a blade's height of it
// shows: grass 0.15 to 0.55 above the meadow, flowers a little higher.
export function BuildMeadowGrowth(covered, random = SeededRandom(seed)) {
    const growth = createNoise2D(random); // where grass grows, and how tall
    const tone = createNoise2D(random);   // its shade, in smaller patches
    const model = new VoxelModel();
    for (let x = -reach; x <= reach; ++x) {
        for (let z = -reach; z <= reach; ++z) {
            if (covered.has(x + "," + z))
                continue;
            const density = growth(x / 6, z / 6);
            if (density < -0.1)
                continue;
            const rise = 0.15 + 0.4 * (density + 0.1) / 1.1;
            if (density > 0.35 && random() < 0.35) {
                model.AddVoxel([x, rise + 0.2 - 1, z], petals[Math.floor(random() * petals.length)]);
                continue;
            }
            const shade = (tone(x / 3, z / 3) + 1) / 2;
            model.AddVoxel([x, rise - 1, z], Mix(grassLow, grassHigh, shade));
        }
    }
    return model;
}

export function GrowMeadow(scene) {
    const obj = MakeObject(["TransformComponent", "VoxelModelComponent"]);
    ObjectManager.VoxelModelComponent(obj).model = BuildMeadowGrowth(Covered(scene));
    scene.meadowGrowth = obj;
    return obj;
}
