// Runs once, after every system has started: builds the opening scene.

var scene = {
    camera: MakeObject(["TransformComponent", "CameraComponent"]),
    ground: MakeObject(["TransformComponent", "BodyComponent"]),
    // Receives every engine message once the distributor calls scripts.
    input: MakeObject(["MessageDistributorComponent"]),
};
