// Runs once, before the engine's systems start: set here what they read when
// they start (window, graphics and physics settings, as their script classes
// offer them). The game itself starts in main.mjs.

// A global, so the developer console has the engine at hand as `core`.
var core = Core.Instance();

// Every engine value a script reads is a fresh array or object. A full
// collection every 50 frames keeps that garbage small without costing a
// frame noticeably.
core.JSGarbageCollectorSystem_.garbageCollectEveryXFrames = 50;
