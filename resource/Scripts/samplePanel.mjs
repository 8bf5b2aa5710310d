// The sample game's tweak panel: buttons that run script functions, live fields (the
// frame rate the script measures, a click count anyone may edit, a title to type) and
// a panel title made from them.
// Panels are built only through messages; the bar exists from the next frame on, and
// the buttons and fields a script adds live exactly as long as it does. The engine
// keeps a script field's value: GetVar and SetVar read and write it by name.
import { Core, RegisterAntBarMessage, SetBarVisibleMessage, TWDefineMessage } from "marrowvale";

export const panelName = "Sample panel";

export function AddPanel() {
    const core = Core.Instance();
    const logic = core.GameLogicSystem_;
    const panels = core.AntBarSystem_;
    let frames = 0;
    let clock = 0;
    let logicProfileShown = true; // the engine shows the game logic profile at start

    Core.BroadcastMessage(RegisterAntBarMessage.Create(panelName, 250, 190, 420, 10));
    Core.BroadcastMessage(TWDefineMessage.Create(panelName,
        "help='Buttons run script functions; fields are live.'"));

    panels.AddNumberVar(panelName, "fps", 0, "readonly=true label='Frame rate'");
    panels.AddIntegerVar(panelName, "clicks", 0, "min=0 label='Clicks'");
    panels.AddStringVar(panelName, "title", "Sample", "label='Title'");
    panels.AddButton(panelName, "Count a click", () => {
        panels.SetVar(panelName, "clicks", Number(panels.GetVar(panelName, "clicks")) + 1);
    });
    panels.AddButton(panelName, "Systems profile", () => {
        core.ToggleProfileWindow();
    });
    panels.AddButton(panelName, "Game logic profile", () => {
        logicProfileShown = !logicProfileShown;
        Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", logicProfileShown));
    });

    // The live figures go into the panel's title twice a second, chained after the
    // game's own per-frame function.
    const gameUpdate = logic.updateFunction;
    logic.updateFunction = (dt) => {
        if (typeof gameUpdate === "function")
            gameUpdate(dt);
        frames += 1;
        clock += dt;
        if (clock < 0.5)
            return;
        const fps = frames / clock;
        frames = 0;
        clock = 0;
        panels.SetVar(panelName, "fps", fps);
        // A quote typed into the title would end the label early: label takes the text
        // between matching quotes.
        const title = String(panels.GetVar(panelName, "title")).replace(/'/g, "");
        Core.BroadcastMessage(TWDefineMessage.Create(panelName, "label='" + title + ": " +
            fps.toFixed(1) + " fps, " + panels.GetVar(panelName, "clicks") + " clicks'"));
    };
}
