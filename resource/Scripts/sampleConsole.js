// The developer console: the backquote key (`) opens and closes it over the
// game. A typed line runs as JavaScript in the game's global scope when Enter
// is pressed, so everything the sample made is at hand.
print("Developer console: press ` to open it, type JavaScript, Enter runs it; help() lists a few things to try.");

function help() {
    print("scene                  the sample's objects: camera, ground, house, trees, crystal, crates");
    print("scene.crates.length    how many crates there are");
    print("ObjectManager.TransformComponent(scene.crystal).position");
    print("core.objectManager.numGameObjects");
    print("Up and Down recall earlier lines; Shift+` types ~; ` closes the console.");
}
