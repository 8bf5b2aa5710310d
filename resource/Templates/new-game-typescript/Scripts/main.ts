// @NAME@ starts here, in TypeScript: the engine erases the types as it loads
// this file and runs the rest, so check them with `tsc -p tsconfig.json`. Run it from its folder with `marrowvale --game .`, and add
// `--watch` to see every saved change at once. See README.md.
import {
    Code, Core, KeyState, KeyboardMessage, MID, ObjectManager, SetBarVisibleMessage, VoxelModel,
} from "marrowvale";

const core = Core.Instance();
const om = core.objectManager;
// Sunlight with shadows, darker corners where voxels meet, fog and a sky: see
// docs/lighting.md. Without `lighting` the world is shaded flat in front of clearColor.
const graphics = core.GraphicsSystem_!;
graphics.clearColor = [0.55, 0.75, 0.95, 1];
graphics.lighting = true;
graphics.skyHorizonColor = [0.75, 0.86, 0.96];
graphics.skyTopColor = [0.35, 0.55, 0.9];
graphics.fogColor = graphics.skyHorizonColor;
graphics.fogDensity = 0.01;
// The engine's profile panel is for later; F1-style panels are in docs/tweak-panels.md.
Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", false));

// The components this game gives its objects; a misspelt name is a type error.
type ComponentName =
    | "TransformComponent" | "VoxelModelComponent" | "CameraComponent" | "DrawTextComponent"
    | "MessageDistributorComponent" | "ClickBoxComponent";

function MakeObject(componentNames: readonly ComponentName[]): GameObject {
    const obj = om.NewObject();
    for (const name of componentNames)
        ObjectManager[`Add${name}`](obj);
    ObjectManager.InitializeObj(obj);
    return obj;
}
// A component MakeObject has just added is there, and so are the engine's systems
// once the game runs: the `!` after such a call tells the compiler so.

// A model from Models/, turned by its transform.
const house = MakeObject(["TransformComponent", "VoxelModelComponent"]);
const houseModel = ObjectManager.VoxelModelComponent(house)!;
houseModel.model = graphics.GetModel("../resource/Models/house.vxm");
houseModel.oriented = true;
const houseTransform = ObjectManager.TransformComponent(house)!;
houseTransform.position = [0, 0, 0];

// Ground for the house to stand and cast its shadow on: a model made in code,
// 24 x 24 voxels in two greens, one layer under the house.
const groundModel = new VoxelModel();
for (let x = -12; x < 12; x++)
    for (let z = -12; z < 12; z++)
        groundModel.AddVoxel([x, -1, z], (x + z) % 2 ? [0.36, 0.6, 0.3, 1] : [0.4, 0.66, 0.33, 1]);
const ground = MakeObject(["TransformComponent", "VoxelModelComponent"]);
ObjectManager.VoxelModelComponent(ground)!.model = groundModel;

// The camera looks at the house from above and in front.
const camera = MakeObject(["TransformComponent", "CameraComponent"]);
const eye = ObjectManager.TransformComponent(camera)!;
eye.position = [0, 9, 24];
eye.LookAt([0, 2, 0], [0, 1, 0]);
ObjectManager.CameraComponent(camera)!.SetActive(true);

// A line of text, in window pixels from the top edge's middle (x right, y up): it
// stays there whatever size the window takes.
const hud = MakeObject(["TransformComponent", "DrawTextComponent"]);
const line = ObjectManager.DrawTextComponent(hud)!;
line.fontFile = "../resource/Fonts/courierNew.ttf";
line.fontSize = 22;
line.color = [0.1, 0.1, 0.2, 1];
line.text = "Space turns the house, a click on the button plays a sound, Esc quits";
line.anchor = "top";
ObjectManager.TransformComponent(hud)!.position = [0, -50, 0];

// Keys reach scripts as messages.
let turning = false;
const keys = MakeObject(["MessageDistributorComponent"]);
const distributor = ObjectManager.MessageDistributorComponent(keys)!;
distributor.processMessageFunction = (obj: GameObject, message: MessageObject) => {
    if (KeyboardMessage.Type(message) !== MID.MID_KeyboardMessage)
        return;
    const pressed = message as KeyboardMessage;
    if (pressed.state !== KeyState.KS_PRESSED)
        return;
    if (pressed.key === Code.Space)
        turning = !turning;
    else if (pressed.key === Code.Escape)
        Core.Quit();
};

// A click box: a rectangle of the window that calls back when clicked.
const button = MakeObject(["TransformComponent", "ClickBoxComponent", "DrawTextComponent"]);
const box = ObjectManager.ClickBoxComponent(button)!;
box.extents = [80, 18];
const caption = ObjectManager.DrawTextComponent(button)!;
caption.fontFile = "../resource/Fonts/courierNew.ttf";
caption.fontSize = 20;
caption.color = [0.1, 0.1, 0.2, 1];
caption.text = "Play a sound";
// The box and its caption measure from the bottom edge's middle alike.
caption.anchor = box.anchor = "bottom";
ObjectManager.TransformComponent(button)!.position = [0, 60, 0];
box.onClickReleaseFunction = () => {
    core.SoundSystem_!.PlaySound("click.wav", 80, false);
};

// Every frame: dt is the frame's time in seconds.
let angle = 0;
core.GameLogicSystem_!.updateFunction = (dt: number) => {
    if (!turning)
        return;
    angle += dt;
    houseTransform.orientation = [0, Math.sin(angle / 2), 0, Math.cos(angle / 2)];
};
