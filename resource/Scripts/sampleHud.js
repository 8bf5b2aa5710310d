// The sample game's overlay: a gem badge in the top-left corner of the
// window with the frame rate beside it, and a glowing lantern floating over
// the village in the world.

(function () {
    var window = core.WindowSystem_;
    var textures = "../resource/Textures/";
    var margin = 16;

    // Sprites and text are placed from the window's centre, x right and y up.
    var badge = MakeObject(["TransformComponent", "SpriteComponent"]);
    var sprite = ObjectManager.SpriteComponent(badge);
    sprite.texture = graphics.GetTexture(textures + "gem.png");
    sprite.scale = [0.75, 0.75]; // 48 x 48 pixels
    sprite.alpha = 1;            // a new sprite is transparent
    sprite.z = 10;               // above any lower layer
    var badgeTransform = ObjectManager.TransformComponent(badge);

    // Text is centred on its position; measuring it lets the line start at a
    // fixed left edge whatever it says.
    var fps = MakeObject(["TransformComponent", "DrawTextComponent", "ScriptUpdateComponent"]);
    var label = ObjectManager.DrawTextComponent(fps);
    label.fontSize = 22;
    label.color = [1, 1, 0.85, 1];
    label.text = "fps --";
    var labelTransform = ObjectManager.TransformComponent(fps);

    // The window can change size: corners are worked out again every frame.
    function Layout() {
        var halfWidth = window.GetWidth() / 2, halfHeight = window.GetHeight() / 2;
        var badgeHalf = sprite.GetHalfExtents();
        var badgeX = -halfWidth + margin + badgeHalf[0];
        var badgeY = halfHeight - margin - badgeHalf[1];
        badgeTransform.position = [badgeX, badgeY, 0];
        var textHalf = label.GetHalfExtents();
        labelTransform.position = [badgeX + badgeHalf[0] + 10 + textHalf[0], badgeY, 0];
    }

    var frames = 0, elapsed = 0;
    ObjectManager.ScriptUpdateComponent(fps).updateFunction = function (owner, dt) {
        frames += 1;
        elapsed += dt;
        if (elapsed >= 0.5) { // steadier to read than every frame's own rate
            label.text = "fps " + Math.round(frames / elapsed);
            frames = 0;
            elapsed = 0;
        }
        Layout();
    };
    Layout();

    // A billboard lies in the world's x-y plane facing +z, towards the camera.
    var lantern = MakeObject(["TransformComponent", "BillboardComponent", "ScriptUpdateComponent"]);
    var glow = ObjectManager.BillboardComponent(lantern);
    glow.texture = graphics.GetTexture(textures + "glow.png");
    glow.scale = [1.6, 1.6]; // half width and half height in world units
    glow.alpha = 1;
    var lanternTransform = ObjectManager.TransformComponent(lantern);
    var lanternBase = [0.5, 7.5, 2];
    var clock = 0;
    ObjectManager.ScriptUpdateComponent(lantern).updateFunction = function (owner, dt) {
        clock += dt;
        glow.alpha = 0.75 + 0.25 * Math.sin(clock * 3); // a slow flicker
        lanternTransform.position = [lanternBase[0], lanternBase[1] + 0.2 * Math.sin(clock),
                                     lanternBase[2]];
    };
    lanternTransform.position = lanternBase;

    scene.hud = {badge: badge, fps: fps, lantern: lantern};
})();
