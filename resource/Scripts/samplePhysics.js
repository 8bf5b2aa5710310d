// Physics in the sample scene: the meadow becomes solid ground, and a few
// crates and a ball drop onto it and come to rest. Run by postInit.js, so
// `scene`, `Place`, `graphics` and `models` are there already.

var physics = core.PhysicsSystem_;

// An object with a transform and a body, not yet initialized: the caller adds
// what shows it, then initializes it, which builds the body. Everything here is
// in collision group 1 and meets every group (mask 7), which is also what the
// mouse-pick ray looks for.
function NewBody(position, orientation, shape, mass, settings) {
    var obj = core.objectManager.NewObject();
    ObjectManager.AddTransformComponent(obj);
    Place(obj, position, orientation);
    var body = ObjectManager.AddBodyComponent(obj);
    body.shape = shape;
    body.initialMass = mass;
    body.collisionType = 1;
    body.collidesWith = 7;
    for (var name in settings)
        body[name] = settings[name];
    return obj;
}

// The meadow model is one layer of voxels 25 wide whose top is at y = -0.5:
// a static box of the same size holds everything up.
function MakeMeadow() {
    var obj = NewBody([0, -1, 0], null, Shape.BoxShape([12.5, 0.5, 12.5]), 0, {});
    ObjectManager.InitializeObj(obj);
    return obj;
}

// A crate is one voxel with a box of the same size. Each starts tilted and
// spinning, so they land on edges and tumble before they settle.
var tilt = [Math.sin(0.35) / Math.SQRT2, 0, Math.sin(0.35) / Math.SQRT2, Math.cos(0.35)];
function DropCrate(position, spin, color) {
    var obj = NewBody(position, tilt, Shape.BoxShape([0.5, 0.5, 0.5]), 1,
                      { initialAngularVelocity: spin, initialFriction: 0.8 });
    ObjectManager.AddVoxelComponent(obj).color = color;
    ObjectManager.InitializeObj(obj);
    return obj;
}

// The ball is a small voxel model turned with its body, so its roll shows;
// rolling friction brings it to a stop.
function DropBall(position, velocity) {
    var obj = NewBody(position, null, Shape.SphereShape(1.5), 2,
                      { initialVelocity: velocity, initialRestitution: 0.5,
                        initialRollingFriction: 0.05 });
    var shown = ObjectManager.AddVoxelModelComponent(obj);
    shown.model = graphics.GetModel(models + "ball.vxm");
    shown.oriented = true;
    ObjectManager.InitializeObj(obj);
    return obj;
}

// The crates stacked by postInit.js stay where they are, as static boxes that
// falling things land on and the mouse can pick.
function MakeSolid(obj) {
    var body = ObjectManager.AddBodyComponent(obj);
    body.shape = Shape.BoxShape([0.5, 0.5, 0.5]);
    body.collisionType = 1;
    body.collidesWith = 7;
    ObjectManager.InitializeObj(obj);
    return obj;
}
scene.crates.forEach(MakeSolid);

var crateWood = [0.62, 0.45, 0.24, 1], crateDark = [0.48, 0.33, 0.17, 1];
scene.bodies = {
    meadow: MakeMeadow(),
    crates: [
        DropCrate([2, 3, 7], [0, 1, 0], crateWood),
        DropCrate([3.2, 5, 7.1], [1, 0, 0], crateDark),
        DropCrate([2.5, 7, 6.7], [0, 0, 2], crateWood),
        DropCrate([2.6, 9, 7.4], [1, 1, 0], crateDark),
        DropCrate([0.5, 6, 9], [0, 2, 1], crateWood),
    ],
    ball: DropBall([-4, 8, 7], [1, 0, 0.5]),
};
