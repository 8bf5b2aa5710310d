// The sample game's behaviour: the crystal turns and bobs, driven by the
// game's per-frame function, and a left click asks the physics world what
// lies under the pointer.
import {
    Button, Core, KeyState, MID, MouseButtonMessage, ObjectManager, print,
} from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

// The name under which `scene` keeps an object ("bodies.crates[2]"), or null.
// `scene` holds handles, arrays of them and groups of named handles.
function NameInScene(obj, where, prefix = "") {
    for (const name in where) {
        const entry = where[name];
        const path = Array.isArray(where) ? `${prefix}[${name}]` : (prefix ? prefix + "." : "") + name;
        const found = (Array.isArray(entry) || Object.getPrototypeOf(entry) === Object.prototype)
                          ? NameInScene(obj, entry, path)
                          : ObjectManager.CompareObj(entry, obj) ? path : null;
        if (found)
            return found;
    }
    return null;
}

export function AddCrystalTurnAndPicks(scene) {
    const core = Core.Instance();
    // Component wrappers find their slot again on every use, so one made now
    // keeps working as long as the crystal lives.
    const crystalTransform = ObjectManager.TransformComponent(scene.crystal);
    const crystalBase = crystalTransform.position;
    let clock = 0;
    core.GameLogicSystem_.updateFunction = (dt) => {
        clock += dt;
        const half = clock * 0.4; // half the angle: a turn every 7.9 s
        crystalTransform.orientation = [0, Math.sin(half), 0, Math.cos(half)];
        crystalTransform.position = [crystalBase[0],
                                     crystalBase[1] + 0.25 + 0.25 * Math.sin(clock * 2),
                                     crystalBase[2]];
    };

    function PrintPick(mousePos) {
        const ray = core.GraphicsSystem_.GetMouseClickRay(mousePos);
        const hit = core.PhysicsSystem_.RayTestClosestPoint(ray.startPoint, ray.endPoint);
        if (!ObjectManager.IsValid(hit.object)) {
            print("Clicked at", mousePos, ": nothing there");
            return;
        }
        const point = hit.intersection.map((v) => v.toFixed(2));
        print("Clicked at", mousePos, ":", NameInScene(hit.object, scene) || "a body", "hit at", point);
    }

    const clicks = MakeObject(["MessageDistributorComponent"]);
    ObjectManager.MessageDistributorComponent(clicks).processMessageFunction = (obj, message) => {
        if (MouseButtonMessage.Type(message) == MID.MID_MouseButtonMessage &&
            message.state == KeyState.KS_PRESSED && message.index == Button.Left)
            PrintPick(message.mousePos);
    };
}
