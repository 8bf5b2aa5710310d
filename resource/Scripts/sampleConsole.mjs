// The developer console: the backquote key (`) opens and closes it over the
// game. A typed line runs as a classic script in the game's global scope when
// Enter is pressed, so it sees no module's names: main.mjs puts the few handles
// worth exploring (scene, startPanel, help) on globalThis for it.
import { print } from "marrowvale";

export function AnnounceConsole() {
    print("Developer console: press ` to open it, type JavaScript, Enter runs it; help() lists a few things to try.");
}

export function help() {
    print("scene                  the sample's objects: camera, ground, house, trees, crystal, crates, meadowGrowth");
    print("scene.bodies.crates.length    how many crates have dropped");
    print("ObjectManager.TransformComponent(scene.crystal).position");
    print("core.objectManager.numGameObjects");
    print("startPanel.Choose(\"Physics demo\")   what the start panel's buttons do");
    print("import(\"./sampleMeadow.mjs\").then(m => print(Object.keys(m)))   modules load here too");
    print("Up and Down recall earlier lines; Shift+` types ~; ` closes the console.");
}
