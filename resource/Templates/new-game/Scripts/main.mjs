// @NAME@ starts here. Run it from its folder with `marrowvale --game .`, and add
// `--watch` to see every saved change at once. See README.md.
import {
    Code, Core, KeyState, KeyboardMessage, MID, ObjectManager, SetBarVisibleMessage,
} from "marrowvale";

const core = Core.Instance();
const om = core.objectManager;
core.GraphicsSystem_.clearColor = [0.55, 0.75, 0.95, 1];
// The engine's profile panel is for later; F1-style panels are in docs/tweak-panels.md.
Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", false));

function MakeObject(componentNames) {
    const obj = om.NewObject();
    for (const name of componentNames)
        ObjectManager["Add" + name](obj);
    ObjectManager.InitializeObj(obj);
    return obj;
}

// A model from Models/, turned by its transform.
const house = MakeObject(["TransformComponent", "VoxelModelComponent"]);
const houseModel = ObjectManager.VoxelModelComponent(house);
houseModel.model = core.GraphicsSystem_.GetModel("../resource/Models/house.vxm");
houseModel.oriented = true;
const houseTransform = ObjectManager.TransformComponent(house);
houseTransform.position = [0, 0, 0];

// The camera looks at the house from above and in front.
const camera = MakeObject(["TransformComponent", "CameraComponent"]);
const eye = ObjectManager.TransformComponent(camera);
eye.position = [0, 9, 24];
eye.LookAt([0, 2, 0], [0, 1, 0]);
ObjectManager.CameraComponent(camera).SetActive(true);

// A line of text in window pixels, from the centre of the window.
const hud = MakeObject(["TransformComponent", "DrawTextComponent"]);
const line = ObjectManager.DrawTextComponent(hud);
line.fontFile = "../resource/Fonts/courierNew.ttf";
line.fontSize = 22;
line.color = [0.1, 0.1, 0.2, 1];
line.text = "Space turns the house, a click on the button plays a sound, Esc quits";
ObjectManager.TransformComponent(hud).position = [0, 350, 0];

// Keys reach scripts as messages.
let turning = false;
const keys = MakeObject(["MessageDistributorComponent"]);
ObjectManager.MessageDistributorComponent(keys).processMessageFunction = (obj, message) => {
    if (KeyboardMessage.Type(message) !== MID.MID_KeyboardMessage || message.state !== KeyState.KS_PRESSED)
        return;
    if (message.key === Code.Space)
        turning = !turning;
    else if (message.key === Code.Escape)
        Core.Quit();
};

// A click box: a rectangle of the window that calls back when clicked.
const button = MakeObject(["TransformComponent", "ClickBoxComponent", "DrawTextComponent"]);
const box = ObjectManager.ClickBoxComponent(button);
box.extents = [80, 18];
const caption = ObjectManager.DrawTextComponent(button);
caption.fontFile = "../resource/Fonts/courierNew.ttf";
caption.fontSize = 20;
caption.color = [0.1, 0.1, 0.2, 1];
caption.text = "Play a sound";
ObjectManager.TransformComponent(button).position = [0, -340, 0];
box.onClickReleaseFunction = () => {
    core.SoundSystem_.PlaySound("click.wav", 80, false);
};

// Every frame: dt is the frame's time in seconds.
let angle = 0;
core.GameLogicSystem_.updateFunction = (dt) => {
    if (!turning)
        return;
    angle += dt;
    houseTransform.orientation = [0, Math.sin(angle / 2), 0, Math.cos(angle / 2)];
};
