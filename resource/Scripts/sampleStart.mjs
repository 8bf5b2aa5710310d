// The start panel: what a newcomer sees first. It offers the village, the model
// editor and the physics demo. Each runs as a game state, so a switch always
// cleans up the old scene and clears every object before the new one starts.
// F1 opens and closes the panel from anywhere.
import * as engine from "marrowvale";
import { panelName } from "./samplePanel.mjs";

const {
    Code, Core, DeleteBarMessage, RegisterAntBarMessage, ScriptGameState, SetBarVisibleMessage,
    TWDefineMessage, print,
} = engine;

// Made once, after the village first stands; `buildVillage` builds it again
// each time the village is chosen.
export function MakeStartPanel(buildVillage) {
    const name = "Start";
    const core = Core.Instance();
    const logic = core.GameLogicSystem_;
    const panels = core.AntBarSystem_;
    const sound = core.SoundSystem_;
    let open = true;

    // F1 is watched from the game's per-frame function, the one thing every
    // scene keeps: objects go with each switch and a hidden panel takes no keys.
    // No key is down while the console or a text field has the keyboard.
    let f1Held = false;
    function Frame() {
        const down = core.WindowSystem_.IsKeyDown(Code.F1);
        if (down && !f1Held)
            SetOpen(!open);
        f1Held = down;
    }
    // Each time the village is built, its own per-frame function runs after the F1 watch.
    function WatchF1() {
        const villageFrame = logic.updateFunction;
        logic.updateFunction = (dt) => {
            Frame();
            if (typeof villageFrame === "function")
                villageFrame(dt);
        };
    }

    // The village is a script state: leaving it takes down what the sample
    // set up outside its objects; entering it builds the village again.
    const village = ScriptGameState.Instance();
    village.cleanupFunction = () => {
        Core.BroadcastMessage(DeleteBarMessage.Create(panelName));
        Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", false));
        logic.updateFunction = Frame;
        core.WindowSystem_.debugDraw = false;
        sound.StopAllMusic();
        sound.UnmuteAllSoundsAndMusic();
        sound.SetPauseAllSoundsAndMusic(false);
    };
    // The village is standing already: it becomes the current state with
    // nothing to build, and only later entries rebuild it.
    logic.SetCurrentGameState(village);
    village.initializeFunction = () => {
        Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", true));
        buildVillage();
        WatchF1();
    };
    WatchF1();

    function SetOpen(value) {
        open = value;
        Core.BroadcastMessage(TWDefineMessage.Create(name, "iconified=" + !open));
    }

    // The tools are looked up through the namespace when chosen: a build
    // without one says so instead of failing to load the game.
    const choices = {
        "Village": () => village,
        "Model editor": () => engine.ModelEditor ? engine.ModelEditor.Instance() : null,
        "Physics demo": () => engine.DemoState ? engine.DemoState.Instance() : null,
    };
    function Choose(label) {
        const state = choices[label]();
        if (!state) {
            print("Start panel: \"" + label + "\" is not part of this build of the engine.");
            return;
        }
        print("Start panel: " + label + " (F1 brings this panel back)");
        // The switch happens in the next game-logic update; choosing the
        // scene that runs already changes nothing.
        logic.SetCurrentGameState(state);
        SetOpen(false);
    }

    const width = 270, height = 150;
    Core.BroadcastMessage(RegisterAntBarMessage.Create(
        name, width, height, Math.max(10, core.WindowSystem_.GetWidth() - width - 10), 10));
    Core.BroadcastMessage(TWDefineMessage.Create(name,
        "label='Start panel (F1)' help='Pick a scene to explore. F1 opens and closes this panel.'"));
    for (const label of Object.keys(choices))
        panels.AddButton(name, label, () => Choose(label));
    panels.AddButton(name, "Hide panel (F1)", () => SetOpen(false));
    panels.AddButton(name, "Quit", () => Core.Quit());

    print("Start panel: choose Village, Model editor or Physics demo; F1 opens and closes it.");
    return { name, village, Choose, SetOpen, Frame, IsOpen: () => open };
}
