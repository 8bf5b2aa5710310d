// Small helpers every part of the sample builds its objects with.
import { Core, ObjectManager } from "marrowvale";

// Relative to the working folder, as the engine starts from build/.
export const models = "../resource/Models/";

// Makes an object with the named components (e.g. "TransformComponent") and
// initialises it once they are all attached.
export function MakeObject(componentNames) {
    const obj = Core.Instance().objectManager.NewObject();
    for (const name of componentNames)
        ObjectManager["Add" + name](obj);
    ObjectManager.InitializeObj(obj);
    return obj;
}

export function Place(obj, position, orientation) {
    const transform = ObjectManager.TransformComponent(obj);
    transform.position = position;
    if (orientation)
        transform.orientation = orientation;
}

// A model shown at a place; `alpha` below 1 draws it see-through, after
// everything solid.
export function ShowModel(file, position, alpha = 1.0) {
    const obj = MakeObject(["TransformComponent", "VoxelModelComponent"]);
    Place(obj, position);
    const shown = ObjectManager.VoxelModelComponent(obj);
    shown.model = Core.Instance().GraphicsSystem_.GetModel(models + file);
    shown.alpha = alpha;
    return obj;
}

// A single coloured cube.
export function ShowVoxel(position, color) {
    const obj = MakeObject(["TransformComponent", "VoxelComponent"]);
    Place(obj, position);
    ObjectManager.VoxelComponent(obj).color = color;
    return obj;
}
