// The sample game's behaviour: the crystal turns and bobs, driven by the
// game's per-frame function, and a left click asks the physics world what
// lies under the pointer.

var logic = core.GameLogicSystem_;

// Component wrappers find their slot again on every use, so one made now
// keeps working as long as the crystal lives.
var crystalTransform = ObjectManager.TransformComponent(scene.crystal);
var crystalBase = crystalTransform.position;
var crystalClock = 0;

logic.updateFunction = function (dt) {
    crystalClock += dt;
    var half = crystalClock * 0.4; // half the angle: a turn every 7.9 s
    crystalTransform.orientation = [0, Math.sin(half), 0, Math.cos(half)];
    crystalTransform.position = [crystalBase[0],
                                 crystalBase[1] + 0.25 + 0.25 * Math.sin(crystalClock * 2),
                                 crystalBase[2]];
};

// The name under which `scene` keeps an object ("bodies.crates[2]"), or null.
// `scene` holds handles, arrays of them and groups of named handles.
function NameInScene(obj, where, prefix) {
    where = where || scene;
    prefix = prefix || "";
    for (var name in where) {
        var entry = where[name];
        var path = Array.isArray(where) ? prefix + "[" + name + "]" : (prefix ? prefix + "." : "") + name;
        var found = (Array.isArray(entry) || Object.getPrototypeOf(entry) === Object.prototype)
                        ? NameInScene(obj, entry, path)
                        : ObjectManager.CompareObj(entry, obj) ? path : null;
        if (found)
            return found;
    }
    return null;
}

function PrintPick(mousePos) {
    var ray = graphics.GetMouseClickRay(mousePos);
    var hit = core.PhysicsSystem_.RayTestClosestPoint(ray.startPoint, ray.endPoint);
    if (!ObjectManager.IsValid(hit.object)) {
        print("Clicked at", mousePos, ": nothing there");
        return;
    }
    var point = hit.intersection.map(function (v) { return v.toFixed(2); });
    print("Clicked at", mousePos, ":", NameInScene(hit.object) || "a body", "hit at", point);
}

var clicks = MakeObject(["MessageDistributorComponent"]);
ObjectManager.MessageDistributorComponent(clicks).processMessageFunction = function (obj, message) {
    if (MouseButtonMessage.Type(message) == MID.MID_MouseButtonMessage &&
        message.state == KeyState.KS_PRESSED && message.index == Button.Left)
        PrintPick(message.mousePos);
};
