// The sample game starts here: the engine runs this module once startup.js and
// postInit.js have run. It builds the village and the start panel that leads
// from it to the engine's tools and back.
import { BuildVillage } from "./sampleVillage.mjs";
import { MakeStartPanel } from "./sampleStart.mjs";
import { help } from "./sampleConsole.mjs";

// Lines typed into the developer console run as classic scripts, which see
// the global object and none of a module's names: the handles worth looking
// at from there (and from tests driving the game) are put on globalThis.
// `scene` is replaced with each build, so it always names the standing village.
function ShowVillage() {
    Object.assign(globalThis, { scene: BuildVillage() });
}

ShowVillage();
Object.assign(globalThis, { startPanel: MakeStartPanel(ShowVillage), help });
