// The sample game's overlay: a gem badge in the top-left corner of the
// window with the frame rate beside it, and a glowing lantern floating over
// the village in the world.
import { Core, ObjectManager } from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

const textures = "../resource/Textures/";
const margin = 16;

export function AddHud(scene) {
    const core = Core.Instance();
    const graphics = core.GraphicsSystem_;

    // Anchored to the window's top-left corner, x right and y up from it: the
    // badge and its line stay there whatever size the window takes.
    const badge = MakeObject(["TransformComponent", "SpriteComponent"]);
    const sprite = ObjectManager.SpriteComponent(badge);
    sprite.texture = graphics.GetTexture(textures + "gem.png");
    sprite.scale = [0.75, 0.75]; // 48 x 48 pixels
    sprite.alpha = 1;            // a new sprite is transparent
    sprite.z = 10;               // above any lower layer
    sprite.anchor = "top-left";
    const badgeHalf = sprite.GetHalfExtents();
    const badgeX = margin + badgeHalf[0], badgeY = -margin - badgeHalf[1];
    ObjectManager.TransformComponent(badge).position = [badgeX, badgeY, 0];

    // Left-aligned, the line starts at a fixed edge whatever it says.
    const fps = MakeObject(["TransformComponent", "DrawTextComponent", "ScriptUpdateComponent"]);
    const label = ObjectManager.DrawTextComponent(fps);
    label.fontSize = 22;
    label.color = [1, 1, 0.85, 1];
    label.text = "fps --";
    label.anchor = "top-left";
    label.align = "left";
    ObjectManager.TransformComponent(fps).position = [badgeX + badgeHalf[0] + 10, badgeY, 0];

    let frames = 0, elapsed = 0;
    ObjectManager.ScriptUpdateComponent(fps).updateFunction = (owner, dt) => {
        frames += 1;
        elapsed += dt;
        if (elapsed >= 0.5) { // steadier to read than every frame's own rate
            label.text = "fps " + Math.round(frames / elapsed);
            frames = 0;
            elapsed = 0;
        }
    };

    // A billboard lies in the world's x-y plane facing +z, towards the camera.
    const lantern = MakeObject(["TransformComponent", "BillboardComponent", "ScriptUpdateComponent"]);
    const glow = ObjectManager.BillboardComponent(lantern);
    glow.texture = graphics.GetTexture(textures + "glow.png");
    glow.scale = [1.6, 1.6]; // half width and half height in world units
    glow.alpha = 1;
    const lanternTransform = ObjectManager.TransformComponent(lantern);
    const lanternBase = [0.5, 7.5, 2];
    let clock = 0;
    ObjectManager.ScriptUpdateComponent(lantern).updateFunction = (owner, dt) => {
        clock += dt;
        glow.alpha = 0.75 + 0.25 * Math.sin(clock * 3); // a slow flicker
        lanternTransform.position = [lanternBase[0], lanternBase[1] + 0.2 * Math.sin(clock),
                                     lanternBase[2]];
    };
    lanternTransform.position = lanternBase;

    scene.hud = { badge, fps, lantern };
}
