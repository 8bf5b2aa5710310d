// Voxel models beyond the engine's own files: a well drawn in another voxel
// editor's .vox format, and a flower bed built voxel by voxel in script.
import { ObjectManager, VoxelModel } from "marrowvale";
import { MakeObject, Place, ShowModel } from "./sampleObjects.mjs";

// A model made here belongs to whatever holds it: the beds showing it, and
// whoever keeps it from scene.flowerBeds. Edits show at the next frame in both.
function BuildFlowerBed() {
    const bed = new VoxelModel();
    const petals = [[0.9, 0.2, 0.3, 1], [0.95, 0.8, 0.2, 1], [0.6, 0.3, 0.9, 1]];
    for (let x = -2; x <= 2; ++x) {
        for (let z = -1; z <= 1; ++z) {
            bed.AddVoxel([x, 0, z], [0.42, 0.27, 0.14, 1]);
            if ((x + z) % 2 == 0)
                bed.AddVoxel([x, 1, z], petals[(x + 2 + z + 1) % petals.length]);
        }
    }
    return bed;
}

export function AddVoxelModels(scene) {
    // A .vox file loads through the same cache as .vxm files; it is placed as our
    // own models are, centred on x and z with its lowest layer at y = 0.
    scene.well = ShowModel("well.vox", [1, 0, -3]);

    const flowerBed = BuildFlowerBed();
    scene.flowerBeds = [[-3, 0, 5], [2, 0, 7]].map((at) => {
        const obj = MakeObject(["TransformComponent", "VoxelModelComponent"]);
        Place(obj, at);
        ObjectManager.VoxelModelComponent(obj).model = flowerBed;
        return obj;
    });
}
