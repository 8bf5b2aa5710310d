// A villager walks from place to place around the houses and trees. A
// waypoint grid covers the meadow; the buildings, trees, the crystal and the
// crates stamp walls into it, and every leg of the walk is a path search.
// G shows the grid (walls magenta, the last search yellow and blue, the path
// red).
import {
    Code, Core, KeyState, KeyboardMessage, MID, ObjectManager, WaypointManager,
} from "marrowvale";
import { MakeObject, ShowVoxel } from "./sampleObjects.mjs";

// Places on the meadow (x, z); each leg passes the house, the crystal or
// the crates.
const stops = [[-8, 10], [4, 0], [10, 10], [-11, -1], [9, -9], [1, 4]];
const speed = 3; // units a second

// Obstacles stamp on the next game-logic frame, into every grid there is.
function Obstacle(obj, halfExtents) {
    const obstacle = ObjectManager.AddObstacleComponent(obj);
    obstacle.wallThreshold = 0.25;
    if (halfExtents)
        obstacle.halfExtents = halfExtents;
    else
        obstacle.useModelExtents = true; // after the add, which resets it
}

// Needs the scene's house, trees, crystal and crates; the well, the player's
// model, the flower beds and the dropped crates are walls too when they are there.
export function AddWalker(scene) {
    const core = Core.Instance();
    const logic = core.GameLogicSystem_;

    // One cell per ground voxel: the meadow's voxels sit at -12 ... 12 on x and
    // z, so the grid's corner is half a cell further out; just above the
    // meadow's top, so its picture lies on the grass.
    const gridObj = core.objectManager.NewObject();
    ObjectManager.AddTransformComponent(gridObj);
    ObjectManager.TransformComponent(gridObj).position = [-12.5, -0.45, -12.5];
    const grid = ObjectManager.AddPathfindingComponent(gridObj);
    grid.gridWidth = 25;
    grid.gridHeight = 25;
    grid.gridUnitLength = 1;
    ObjectManager.InitializeObj(gridObj); // the grid is built from the size here

    Obstacle(scene.house);
    scene.trees.forEach((tree) => Obstacle(tree, [1.5, 1.5]));
    Obstacle(scene.crystal, [1.5, 1.5]);
    scene.crates.forEach((crate) => Obstacle(crate, [0.5, 0.5]));
    if (scene.well)
        Obstacle(scene.well);
    if (scene.userModel)
        Obstacle(scene.userModel);
    (scene.flowerBeds || []).forEach((bed) => Obstacle(bed));
    // The dropped crates fall nearly straight down: their walls are stamped
    // where they start, before they land.
    if (scene.bodies)
        scene.bodies.crates.forEach((crate) => Obstacle(crate, [0.7, 0.7]));

    // The villager: legs, a red coat and a head, one voxel each.
    const parts = [
        { height: 0, color: [0.2, 0.2, 0.45, 1] },
        { height: 1, color: [0.75, 0.15, 0.12, 1] },
        { height: 2, color: [0.95, 0.78, 0.62, 1] },
    ].map(({ height, color }) => {
        const obj = ShowVoxel([0, height, 0], color);
        return { obj, transform: ObjectManager.TransformComponent(obj), height };
    });
    // For the console: scene.villager is the villager's feet.
    scene.villager = parts[0].obj;
    scene.walkGrid = gridObj;
    let at = stops[0];
    let next = 0, handle = null, waypoint = 0, frames = 0, rest = 0;

    function Stand(position) {
        at = position;
        for (const part of parts)
            part.transform.position = [position[0], part.height, position[1]];
    }
    Stand(at);

    // The next leg: from the villager's cell to the next stop that can be
    // reached. Stops are tried in turn; a walled one is skipped.
    function PlanLeg() {
        const from = grid.GetNodeFromPosition([at[0], 0, at[1]]);
        for (let tries = 0; tries < stops.length; ++tries) {
            next = (next + 1) % stops.length;
            const goal = grid.GetNodeFromPosition([stops[next][0], 0, stops[next][1]]);
            handle = grid.ComputePath(from[0], from[1], goal[0], goal[1]);
            if (WaypointManager.Size(handle) > 0) {
                waypoint = 1;
                return;
            }
            WaypointManager.Delete(handle); // the slot goes back for the next search
            handle = null;
        }
    }

    const walker = MakeObject(["ScriptUpdateComponent"]);
    ObjectManager.ScriptUpdateComponent(walker).updateFunction = (owner, dt) => {
        // The obstacles stamp after the script updates of the first frame
        // (whose dt also holds the whole start-up, so count frames, not time).
        if (++frames < 3 || (rest -= dt) > 0)
            return;
        if (handle === null) {
            PlanLeg();
            return;
        }
        const target = WaypointManager.GetWaypoint(handle, waypoint);
        const dx = target[0] - at[0], dz = target[2] - at[1];
        const distance = Math.sqrt(dx * dx + dz * dz), step = speed * dt;
        if (distance > step) {
            Stand([at[0] + dx * step / distance, at[1] + dz * step / distance]);
            return;
        }
        Stand([target[0], target[2]]);
        if (++waypoint < WaypointManager.Size(handle))
            return;
        WaypointManager.Delete(handle);
        handle = null;
        rest = 1; // a second's rest at each stop
    };

    const keys = MakeObject(["MessageDistributorComponent"]);
    ObjectManager.MessageDistributorComponent(keys).processMessageFunction = (obj, message) => {
        if (KeyboardMessage.Type(message) === MID.MID_KeyboardMessage &&
            message.state === KeyState.KS_PRESSED && message.key === Code.G &&
            !core.WindowSystem_.IsKeyboardCaptured())
            logic.debugDraw = !logic.debugDraw;
    };
}
