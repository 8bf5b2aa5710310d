// The sample game's tweak panel: buttons that run script functions, live fields (the
// frame rate the script measures, a click count anyone may edit, a title to type) and
// a panel title made from them.
// Panels are built only through messages; the bar exists from the next frame on, and
// the buttons and fields a script adds live exactly as long as it does. The engine
// keeps a script field's value: GetVar and SetVar read and write it by name.

var panelName = "Sample panel";
var panelFrames = 0;
var panelClock = 0;
var panelLogicProfileShown = true; // the engine shows the game logic profile at start

Core.BroadcastMessage(RegisterAntBarMessage.Create(panelName, 250, 190, 420, 10));
Core.BroadcastMessage(TWDefineMessage.Create(panelName,
    "help='Buttons run script functions; fields are live.'"));

var panels = core.AntBarSystem_;
panels.AddNumberVar(panelName, "fps", 0, "readonly=true label='Frame rate'");
panels.AddIntegerVar(panelName, "clicks", 0, "min=0 label='Clicks'");
panels.AddStringVar(panelName, "title", "Sample", "label='Title'");
panels.AddButton(panelName, "Count a click", function () {
    panels.SetVar(panelName, "clicks", Number(panels.GetVar(panelName, "clicks")) + 1);
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
    panels.SetVar(panelName, "fps", fps);
    // A quote typed into the title would end the label early: label takes the text
    // between matching quotes.
    var title = String(panels.GetVar(panelName, "title")).replace(/'/g, "");
    Core.BroadcastMessage(TWDefineMessage.Create(panelName, "label='" + title + ": " +
        fps.toFixed(1) + " fps, " + panels.GetVar(panelName, "clicks") + " clicks'"));
};
