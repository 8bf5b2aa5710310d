// The sample game's tweak panel: buttons that run script functions, and a title that
// carries live figures (the frame rate the script measures and a click count).
// Panels are built only through messages; the bar exists from the next frame on, and
// the buttons added through AddButton live exactly as long as it does.

var panelName = "Sample panel";
var panelClicks = 0;
var panelFrames = 0;
var panelClock = 0;
var panelLogicProfileShown = true; // the engine shows the game logic profile at start

Core.BroadcastMessage(RegisterAntBarMessage.Create(panelName, 250, 110, 420, 10));
Core.BroadcastMessage(TWDefineMessage.Create(panelName, "help='Buttons run script functions.'"));

var panels = core.AntBarSystem_;
panels.AddButton(panelName, "Count a click", function () {
    panelClicks += 1;
});
panels.AddButton(panelName, "Systems profile", function () {
    core.ToggleProfileWindow();
});
panels.AddButton(panelName, "Game logic profile", function () {
    panelLogicProfileShown = !panelLogicProfileShown;
    Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", panelLogicProfileShown));
});

// The live figures go into the panel's title twice a second, chained after the
// game's own per-frame function.
var panelGameUpdate = logic.updateFunction;
logic.updateFunction = function (dt) {
    if (typeof panelGameUpdate === "function")
        panelGameUpdate(dt);
    panelFrames += 1;
    panelClock += dt;
    if (panelClock < 0.5)
        return;
    var fps = panelFrames / panelClock;
    panelFrames = 0;
    panelClock = 0;
    Core.BroadcastMessage(TWDefineMessage.Create(panelName,
        "label='Sample: " + fps.toFixed(1) + " fps, " + panelClicks + " clicks'"));
};
