// Physics in the sample scene: the meadow becomes solid ground, and a few
// crates and a ball drop onto it and come to rest.
import { Core, ObjectManager, Shape } from "marrowvale";
import { models, Place } from "./sampleObjects.mjs";

export const crateWood = [0.62, 0.45, 0.24, 1];
export const crateDark = [0.48, 0.33, 0.17, 1];

// An object with a transform and a body, not yet initialized: the caller adds
// what shows it, then initializes it, which builds the body. Everything here is
// in collision group 1 and meets every group (mask 7), which is also what the
// mouse-pick ray looks for.
function NewBody(position, orientation, shape, mass, settings) {
    const obj = Core.Instance().objectManager.NewObject();
    ObjectManager.AddTransformComponent(obj);
    Place(obj, position, orientation);
    const body = ObjectManager.AddBodyComponent(obj);
    body.shape = shape;
    body.initialMass = mass;
    body.collisionType = 1;
    body.collidesWith = 7;
    Object.assign(body, settings);
    return obj;
}

// The meadow model is one layer of voxels 25 wide whose top is at y = -0.5:
// a static box of the same size holds everything up.
function MakeMeadow() {
    const obj = NewBody([0, -1, 0], null, Shape.BoxShape([12.5, 0.5, 12.5]), 0, {});
    ObjectManager.InitializeObj(obj);
    return obj;
}

// A crate is one voxel with a box of the same size. Each starts tilted and
// spinning, so they land on edges and tumble before they settle.
const tilt = [Math.sin(0.35) / Math.SQRT2, 0, Math.sin(0.35) / Math.SQRT2, Math.cos(0.35)];
export function DropCrate(position, spin, color) {
    const obj = NewBody(position, tilt, Shape.BoxShape([0.5, 0.5, 0.5]), 1,
                        { initialAngularVelocity: spin, initialFriction: 0.8 });
    ObjectManager.AddVoxelComponent(obj).color = color;
    ObjectManager.InitializeObj(obj);
    return obj;
}

// The ball is a small voxel model turned with its body, so its roll shows;
// rolling friction brings it to a stop.
function DropBall(position, velocity) {
    const obj = NewBody(position, null, Shape.SphereShape(1.5), 2,
                        { initialVelocity: velocity, initialRestitution: 0.5,
                          initialRollingFriction: 0.05 });
    const shown = ObjectManager.AddVoxelModelComponent(obj);
    shown.model = Core.Instance().GraphicsSystem_.GetModel(models + "ball.vxm");
    shown.oriented = true;
    ObjectManager.InitializeObj(obj);
    return obj;
}

// The crates stacked in the village stay where they are, as static boxes that
// falling things land on and the mouse can pick.
function MakeSolid(obj) {
    const body = ObjectManager.AddBodyComponent(obj);
    body.shape = Shape.BoxShape([0.5, 0.5, 0.5]);
    body.collisionType = 1;
    body.collidesWith = 7;
    ObjectManager.InitializeObj(obj);
    return obj;
}

export function AddPhysics(scene) {
    scene.crates.forEach(MakeSolid);
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
}
