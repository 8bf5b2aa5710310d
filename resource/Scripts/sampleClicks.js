// Clicks in the sample scene. The dropped crates light up while the mouse is
// on them and jump when clicked; a button in the bottom-left corner of
// the window drops another crate. Run by postInit.js after samplePhysics.js, so
// `scene`, `DropCrate` and the crates are there already.

var windowSystem = core.WindowSystem_;

// A crate the mouse can pick: lighter while hovered, thrown up and spun on a
// click. The pick points at the spot clicked, so the spin follows it.
function MakeClickable(obj) {
    var clickable = ObjectManager.AddClickableComponent(obj);
    var voxel = ObjectManager.VoxelComponent(obj);
    var color = voxel.color;
    var lit = color.map(function (c, i) { return i == 3 ? c : Math.min(1, c * 1.6); });
    clickable.mouseOverTriggerFunction = function () { voxel.color = lit; };
    clickable.mouseNotOverFunction = function () { voxel.color = color; };
    clickable.onClickFunction = function (crate, point) {
        var centre = ObjectManager.TransformComponent(crate).position;
        var body = ObjectManager.BodyComponent(crate);
        body.SetVelocity([0, 6, 0]);
        body.SetAngularVelocity([(point[2] - centre[2]) * 8, 0, (centre[0] - point[0]) * 8]);
    };
    return obj;
}
scene.bodies.crates.forEach(MakeClickable);

// The button is a click box with a text label; the window's debug outline
// shows its edge. It waits for the press to be released on it, so a press
// that slides off drops nothing.
var buttonHalfSize = [70, 16];
function MakeButton() {
    var obj = MakeObject(["TransformComponent", "ClickBoxComponent", "DrawTextComponent"]);
    var box = ObjectManager.ClickBoxComponent(obj);
    box.extents = buttonHalfSize;
    var caption = ObjectManager.DrawTextComponent(obj);
    caption.fontSize = 18;
    caption.color = [1, 1, 0.85, 1];
    caption.text = "Drop a crate";
    var drops = 0;
    box.mouseOverTriggerFunction = function () { print("Button: click to drop a crate"); };
    box.onClickReleaseFunction = function () {
        drops++;
        var crate = DropCrate([Math.sin(drops) * 3, 10, Math.cos(drops) * 3 + 6], [1, 1, 0],
                              drops % 2 ? crateWood : crateDark);
        scene.bodies.crates.push(MakeClickable(crate));
        print("Button: crate", drops, "dropped");
    };
    return obj;
}
scene.dropButton = MakeButton();

// Kept in the bottom-left corner whatever size the window has.
function PlaceButton() {
    var x = -windowSystem.GetWidth() / 2 + buttonHalfSize[0] + 12;
    var y = -windowSystem.GetHeight() / 2 + buttonHalfSize[1] + 12;
    ObjectManager.TransformComponent(scene.dropButton).position = [x, y, 0];
}
PlaceButton();
ObjectManager.ScriptUpdateComponent(MakeObject(["ScriptUpdateComponent"])).updateFunction =
    PlaceButton;
windowSystem.debugDraw = true;
