// The player's own work: the last model saved in the model editor (start panel,
// "Model editor") stands in the village by the crystal, with its name at the
// bottom of the window. Run by postInit.js before the walker, so the villager
// walks around it.

(function () {
    if (typeof ModelEditor === "undefined")
        return;
    var file = ModelEditor.Instance().lastSavedModel;
    if (!file)
        return;
    scene.userModel = ShowModel(file.substring(models.length), [10, 0, 4]);

    var caption = MakeObject(["TransformComponent", "DrawTextComponent"]);
    var text = ObjectManager.DrawTextComponent(caption);
    text.fontSize = 20;
    text.color = [1, 1, 0.85, 1];
    text.text = "Your model " + file.substring(file.lastIndexOf("/") + 1) + " stands by the crystal";
    // Text is placed from the window's centre, y up.
    ObjectManager.TransformComponent(caption).position = [0, 40 - core.WindowSystem_.GetHeight() / 2, 0];
    print("Gallery: showing " + file);
})();
