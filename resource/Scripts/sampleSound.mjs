// Sound: a click on the left mouse button plays a short click, and a soft loop
// plays quietly under the game. M mutes and unmutes everything, P pauses.
// The files are in ../resource/Sounds/ (made by tools/make_sounds.py).
import {
    Button, Code, Core, KeyState, KeyboardMessage, MID, MouseButtonMessage, ObjectManager,
} from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

export function AddSound() {
    const sound = Core.Instance().SoundSystem_;
    sound.PlayMusic("meadowLoop.wav", 25, true);

    let muted = false, paused = false;
    const listener = MakeObject(["MessageDistributorComponent"]);
    ObjectManager.MessageDistributorComponent(listener).processMessageFunction = (obj, message) => {
        if (MouseButtonMessage.Type(message) === MID.MID_MouseButtonMessage &&
            message.state === KeyState.KS_PRESSED && message.index === Button.Left) {
            // The now slot: a quick second click cuts nothing off.
            sound.PlaySoundNow("click.wav", 80);
            return;
        }
        if (KeyboardMessage.Type(message) !== MID.MID_KeyboardMessage ||
            message.state !== KeyState.KS_PRESSED)
            return;
        if (message.key === Code.M) {
            muted = !muted;
            if (muted)
                sound.MuteAllSoundsAndMusic();
            else
                sound.UnmuteAllSoundsAndMusic();
        } else if (message.key === Code.P) {
            paused = !paused;
            sound.SetPauseAllSoundsAndMusic(paused);
        }
    };
}
