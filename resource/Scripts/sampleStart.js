// The start panel: what a newcomer sees first. It offers the village (the scene
// postInit.js builds), the model editor and the physics demo. Each runs as a game
// state, so a switch always cleans up the old scene and clears every object before
// the new one starts. F1 opens and closes the panel from anywhere.
//
// postInit.js runs this file last, and runs again (with this file) whenever the
// village is rebuilt; the panel itself is made only the first time.

if (typeof startPanel === "undefined") {
    var startPanel = (function () {
        var name = "Start";
        var logic = core.GameLogicSystem_;
        var panels = core.AntBarSystem_;
        var sound = core.SoundSystem_;
        var open = true;

        // The village is a script state: leaving it takes down what the sample
        // scripts set up outside their objects; entering it runs postInit.js again.
        var village = ScriptGameState.Instance();
        village.cleanupFunction = function () {
            Core.BroadcastMessage(DeleteBarMessage.Create("Sample panel"));
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
        village.initializeFunction = function () {
            Core.BroadcastMessage(SetBarVisibleMessage.Create("GameLogicProfile", true));
            RunFile("../resource/Scripts/postInit.js");
        };

        function SetOpen(value) {
            open = value;
            Core.BroadcastMessage(TWDefineMessage.Create(name, "iconified=" + !open));
        }

        // The tools are looked up when chosen: a build without one says so
        // instead of failing when this file runs.
        var choices = {
            "Village": function () { return village; },
            "Model editor": function () {
                return typeof ModelEditor === "undefined" ? null : ModelEditor.Instance();
            },
            "Physics demo": function () {
                return typeof DemoState === "undefined" ? null : DemoState.Instance();
            },
        };
        function Choose(label) {
            var state = choices[label]();
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

        var width = 270, height = 150;
        Core.BroadcastMessage(RegisterAntBarMessage.Create(
            name, width, height, Math.max(10, core.WindowSystem_.GetWidth() - width - 10), 10));
        Core.BroadcastMessage(TWDefineMessage.Create(name,
            "label='Start panel (F1)' help='Pick a scene to explore. F1 opens and closes this panel.'"));
        Object.keys(choices).forEach(function (label) {
            panels.AddButton(name, label, function () { Choose(label); });
        });
        panels.AddButton(name, "Hide panel (F1)", function () { SetOpen(false); });
        panels.AddButton(name, "Quit", function () { Core.Quit(); });

        // F1 is watched from the game's per-frame function, the one thing every
        // scene keeps: objects go with each switch and a hidden panel takes no keys.
        var f1Held = false;
        function Frame() {
            var down = core.WindowSystem_.IsKeyDown(Code.F1);
            if (down && !f1Held && !core.DevConsoleSystem_.IsVisible())
                SetOpen(!open);
            f1Held = down;
        }

        print("Start panel: choose Village, Model editor or Physics demo; F1 opens and closes it.");
        return {name: name, village: village, Choose: Choose, SetOpen: SetOpen, Frame: Frame,
                IsOpen: function () { return open; }};
    })();
}

// Each time the village is built, its own per-frame function runs after the F1 watch.
(function () {
    var villageFrame = core.GameLogicSystem_.updateFunction;
    core.GameLogicSystem_.updateFunction = function (dt) {
        startPanel.Frame();
        if (typeof villageFrame === "function")
            villageFrame(dt);
    };
})();
