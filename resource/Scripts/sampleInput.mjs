// Escape ends the game. Every engine message reaches a message distributor's
// function as a script object of its class; key presses are KeyboardMessages.
// While the developer console is open (or a panel's text field has the focus)
// the keyboard is not the game's.
import { Code, Core, KeyState, KeyboardMessage, MID, ObjectManager } from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

export function AddEscapeQuit() {
    const keys = MakeObject(["MessageDistributorComponent"]);
    ObjectManager.MessageDistributorComponent(keys).processMessageFunction = (obj, message) => {
        if (KeyboardMessage.Type(message) === MID.MID_KeyboardMessage &&
            message.state === KeyState.KS_PRESSED && message.key === Code.Escape &&
            !Core.Instance().WindowSystem_.IsKeyboardCaptured())
            Core.Quit();
    };
    return keys;
}
