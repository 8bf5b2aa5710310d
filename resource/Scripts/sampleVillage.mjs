// The opening scene, a small village on a meadow seen from a hillside. The
// village game state calls BuildVillage each time it is entered, after every
// object of the scene before has been cleared, so everything it makes, and
// every per-frame function it chains, is made afresh here rather than when a
// module is first loaded.
import { Core, ObjectManager, print } from "marrowvale";
import { MakeObject, Place, ShowModel, ShowVoxel } from "./sampleObjects.mjs";
import { AddEscapeQuit } from "./sampleInput.mjs";
import { AddCrystalTurnAndPicks } from "./sampleLogic.mjs";
import { AddPhysics } from "./samplePhysics.mjs";
import { AddClicks } from "./sampleClicks.mjs";
import { AddHud } from "./sampleHud.mjs";
import { AddSound } from "./sampleSound.mjs";
import { AddPanel } from "./samplePanel.mjs";
import { AnnounceConsole } from "./sampleConsole.mjs";
import { AddVoxelModels } from "./sampleVox.mjs";
import { AddGallery } from "./sampleGallery.mjs";
import { GrowMeadow } from "./sampleMeadow.mjs";
import { AddWalker } from "./sampleWalker.mjs";
import { LightVillage } from "./sampleSky.mjs";

// Returns the scene's handles by name, for the modules that use them and for
// the developer console.
export function BuildVillage() {
    // The camera's orientation turns the world into the camera's view: tilting
    // the world up by 20 degrees makes the camera look down on it.
    const pitch = 20 * Math.PI / 360;
    const camera = MakeObject(["TransformComponent", "CameraComponent"]);
    Place(camera, [0, 9, 24], [Math.sin(pitch), 0, 0, Math.cos(pitch)]);
    ObjectManager.CameraComponent(camera).SetActive(true);

    const scene = {
        camera: camera,
        ground: ShowModel("ground.vxm", [0, -1, 0]),
        house: ShowModel("house.vxm", [-5, 0, -4]),
        trees: [
            ShowModel("tree.vxm", [4, 0, -7]),
            ShowModel("tree.vxm", [8, 0, -2]),
            ShowModel("tree.vxm", [-10, 0, 5]),
        ],
        crystal: ShowModel("crystal.vxm", [5, 0, 5], 0.6),
        crates: [
            ShowVoxel([-1, 0, 2], [0.55, 0.38, 0.2, 1]),
            ShowVoxel([-2, 0, 2], [0.55, 0.38, 0.2, 1]),
            ShowVoxel([-1.5, 1, 2], [0.6, 0.42, 0.22, 1]),
        ],
    };
    print("Marrowvale: scene ready,", Core.Instance().objectManager.numGameObjects, "objects");

    // The order matters: the panel chains the per-frame function the crystal
    // sets, the clicks pick the crates physics drops, and the meadow and the
    // walker keep clear of everything standing by then.
    LightVillage();
    AddEscapeQuit();
    AddCrystalTurnAndPicks(scene);
    AddPhysics(scene);
    AddClicks(scene);
    AddHud(scene);
    AddSound();
    AddPanel();
    AnnounceConsole();
    AddVoxelModels(scene);
    AddGallery(scene);
    GrowMeadow(scene);
    AddWalker(scene);
    return scene;
}
