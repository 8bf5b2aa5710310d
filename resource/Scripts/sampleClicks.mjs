// Clicks in the sample scene. The dropped crates light up while the mouse is
// on them and jump, throwing off chips, when clicked; a button in the
// bottom-left corner of the window drops another crate. Added after physics,
// which drops the crates.
import { Core, ObjectManager, print } from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";
import { DropCrate, crateDark, crateWood } from "./samplePhysics.mjs";

// Chips of the crate's wood fly from the spot clicked. The meadow is a box, not
// the physics ground plane, so nothing stops them: they are thrown upwards and
// fade out by the time they fall back to the grass.
function Splinter(point, color) {
    const darker = color.map((c, i) => i == 3 ? c : c * 0.7);
    Core.Instance().GraphicsSystem_.EmitParticles({
        position: point, count: 80, colors: [color, darker], speed: 4, spread: 70,
        lifetime: 0.8, size: 0.12, fade: true,
    });
}

// A crate the mouse can pick: lighter while hovered, thrown up and spun on a
// click, bursting into chips. The pick points at the spot clicked, so the spin
// follows it.
function MakeClickable(obj) {
    const clickable = ObjectManager.AddClickableComponent(obj);
    const voxel = ObjectManager.VoxelComponent(obj);
    const color = voxel.color;
    const lit = color.map((c, i) => i == 3 ? c : Math.min(1, c * 1.6));
    clickable.mouseOverTriggerFunction = () => { voxel.color = lit; };
    clickable.mouseNotOverFunction = () => { voxel.color = color; };
    clickable.onClickFunction = (crate, point) => {
        const centre = ObjectManager.TransformComponent(crate).position;
        const body = ObjectManager.BodyComponent(crate);
        body.SetVelocity([0, 6, 0]);
        body.SetAngularVelocity([(point[2] - centre[2]) * 8, 0, (centre[0] - point[0]) * 8]);
        Splinter(point, color);
    };
    return obj;
}

// The button is a click box with a text label; the window's debug outline
// shows its edge. It waits for the press to be released on it, so a press
// that slides off drops nothing.
const buttonHalfSize = [70, 16];
function MakeButton(crates) {
    const obj = MakeObject(["TransformComponent", "ClickBoxComponent", "DrawTextComponent"]);
    const box = ObjectManager.ClickBoxComponent(obj);
    box.extents = buttonHalfSize;
    const caption = ObjectManager.DrawTextComponent(obj);
    caption.fontSize = 18;
    caption.color = [1, 1, 0.85, 1];
    caption.text = "Drop a crate";
    let drops = 0;
    box.mouseOverTriggerFunction = () => { print("Button: click to drop a crate"); };
    box.onClickReleaseFunction = () => {
        drops++;
        const crate = DropCrate([Math.sin(drops) * 3, 10, Math.cos(drops) * 3 + 6], [1, 1, 0],
                                drops % 2 ? crateWood : crateDark);
        crates.push(MakeClickable(crate));
        print("Button: crate", drops, "dropped");
    };
    return obj;
}

export function AddClicks(scene) {
    scene.bodies.crates.forEach(MakeClickable);
    scene.dropButton = MakeButton(scene.bodies.crates);

    // Anchored to the bottom-left corner, so it stays there whatever size the
    // window takes; the click box follows the same anchor as the caption.
    ObjectManager.ClickBoxComponent(scene.dropButton).anchor = "bottom-left";
    ObjectManager.DrawTextComponent(scene.dropButton).anchor = "bottom-left";
    ObjectManager.TransformComponent(scene.dropButton).position =
        [buttonHalfSize[0] + 12, buttonHalfSize[1] + 12, 0];
    Core.Instance().WindowSystem_.debugDraw = true;
}
