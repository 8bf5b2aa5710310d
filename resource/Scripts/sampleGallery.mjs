// The player's own work: the last model saved in the model editor (start panel,
// "Model editor") stands in the village by the crystal, with its name at the
// bottom of the window. Added before the walker, so the villager walks around it.
import * as engine from "marrowvale";
import { MakeObject, models, ShowModel } from "./sampleObjects.mjs";

const { Core, ObjectManager, print } = engine;

export function AddGallery(scene) {
    // Through the namespace: a build without the editor has no such export, and
    // a named import of it would stop the whole game from loading.
    if (!engine.ModelEditor)
        return;
    const file = engine.ModelEditor.Instance().lastSavedModel;
    if (!file)
        return;
    scene.userModel = ShowModel(file.substring(models.length), [10, 0, 4]);

    const caption = MakeObject(["TransformComponent", "DrawTextComponent"]);
    const text = ObjectManager.DrawTextComponent(caption);
    text.fontSize = 20;
    text.color = [1, 1, 0.85, 1];
    text.text = "Your model " + file.substring(file.lastIndexOf("/") + 1) + " stands by the crystal";
    // Text is placed from the window's centre, y up.
    ObjectManager.TransformComponent(caption).position =
        [0, 40 - Core.Instance().WindowSystem_.GetHeight() / 2, 0];
    print("Gallery: showing " + file);
}
