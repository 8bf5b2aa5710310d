// Runs once, after every system has started: builds the opening scene, a
// small village on a meadow seen from a hillside.

var graphics = core.GraphicsSystem_;
var models = "../resource/Models/";

function Place(obj, position, orientation) {
    var transform = ObjectManager.TransformComponent(obj);
    transform.position = position;
    if (orientation)
        transform.orientation = orientation;
}

// A model shown at a place; `alpha` below 1 draws it see-through, after
// everything solid.
function ShowModel(file, position, alpha) {
    var obj = MakeObject(["TransformComponent", "VoxelModelComponent"]);
    Place(obj, position);
    var shown = ObjectManager.VoxelModelComponent(obj);
    shown.model = graphics.GetModel(models + file);
    shown.alpha = alpha === undefined ? 1.0 : alpha;
    return obj;
}

// A single coloured cube.
function ShowVoxel(position, color) {
    var obj = MakeObject(["TransformComponent", "VoxelComponent"]);
    Place(obj, position);
    ObjectManager.VoxelComponent(obj).color = color;
    return obj;
}

// The camera's orientation turns the world into the camera's view: tilting
// the world up by 20 degrees makes the camera look down on it.
var pitch = 20 * Math.PI / 360;
var camera = MakeObject(["TransformComponent", "CameraComponent"]);
Place(camera, [0, 9, 24], [Math.sin(pitch), 0, 0, Math.cos(pitch)]);
ObjectManager.CameraComponent(camera).SetActive(true);

var scene = {
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

print("Marrowvale: scene ready,", core.objectManager.numGameObjects, "objects");

RunFile("../resource/Scripts/sampleInput.js");
RunFile("../resource/Scripts/sampleLogic.js");
RunFile("../resource/Scripts/samplePhysics.js");
RunFile("../resource/Scripts/sampleClicks.js");
RunFile("../resource/Scripts/sampleHud.js");
RunFile("../resource/Scripts/sampleSound.js");
RunFile("../resource/Scripts/samplePanel.js");
RunFile("../resource/Scripts/sampleConsole.js");
RunFile("../resource/Scripts/sampleVox.js");
RunFile("../resource/Scripts/sampleGallery.js");
RunFile("../resource/Scripts/sampleWalker.js");
RunFile("../resource/Scripts/sampleStart.js");
