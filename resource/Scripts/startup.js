// Runs once, before the engine's systems start: set here what they read when
// they start (window, graphics and physics settings, as their script classes
// offer them). Objects are made later, in postInit.js.

var core = Core.Instance();

// Every engine value a script reads is a fresh array or object. A full
// collection every 50 frames keeps that garbage small without costing a
// frame noticeably.
core.JSGarbageCollectorSystem_.garbageCollectEveryXFrames = 50;

// Makes an object with the named components (e.g. "TransformComponent") and
// initialises it once they are all attached.
function MakeObject(componentNames) {
    var obj = Core.Instance().objectManager.NewObject();
    for (var i = 0; i < componentNames.length; ++i)
        ObjectManager["Add" + componentNames[i]](obj);
    ObjectManager.InitializeObj(obj);
    return obj;
}
