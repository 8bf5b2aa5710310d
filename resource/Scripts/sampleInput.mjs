// Escape ends the game. Every engine message reaches a message distributor's
// function as a script object of its class; key presses are KeyboardMessages.
// While the developer console is open the keyboard is the console's.
import { Code, Core, KeyState, KeyboardMessage, MID, ObjectManager } from "marrowvale";
import { MakeObject } from "./sampleObjects.mjs";

export function AddEscapeQuit() {
    const keys = MakeObject(["MessageDistributorComponent"]);
    ObjectManager.MessageDistributorComponent(keys).processMessageFunction = (obj, message) => {
        if (KeyboardMessage.Type(message) === MID.MID_KeyboardMessage &&
            message.state === KeyState.KS_PRESSED && message.key === Code.Escape &&
            !Core.Instance().DevConsoleSystem_.IsVisible())
            Core.Quit();
    };
    return keys;
}
