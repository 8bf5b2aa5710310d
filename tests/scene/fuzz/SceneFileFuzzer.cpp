// libFuzzer entry for the scene file loader (make fuzz): any bytes either load
// into objects that save and load again to the same text, or are refused with
// an error and make nothing.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "objects/ObjectManager.h"
#include "scene/Scene.h"
#include "script/ScriptHost.h"

namespace {

ObjectManager* objects = nullptr;

std::string Check(const std::string& text) {
    Scene& scene = Scene::Instance();
    scene::Json parsed;
    std::string error;
    if (!scene::ParseText(text, parsed, error))
        return "";
    const std::optional<std::vector<GameObject>> made =
        scene.FromJson(parsed, "fuzz.json", "", Scene::Placement(), error);
    if (!made) {
        if (error.rfind("fuzz.json: ", 0) != 0)
            return "an error that does not name the file: " + error;
        return objects->GetLiveObjects().empty() ? "" : "a refused file made objects: " + error;
    }
    const std::string saved = scene::ToText(scene.ToJson(*made));
    objects->ClearAllObjects();
    scene::Json again;
    if (!scene::ParseText(saved, again, error))
        return "a saved file does not parse: " + error;
    const std::optional<std::vector<GameObject>> remade =
        scene.FromJson(again, "saved.json", "", Scene::Placement(), error);
    if (!remade)
        return "a saved file does not load: " + error;
    const std::string resaved = scene::ToText(scene.ToJson(*remade));
    objects->ClearAllObjects();
    return resaved == saved ? "" : "saving a loaded file changed it:\n" + saved + "\n" + resaved;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::cerr.rdbuf(nullptr);
    if (!ScriptHost::Instance().Initialize())
        std::abort();
    objects = new ObjectManager();
    Scene::Instance().SetObjectManager(objects);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = Check(std::string(reinterpret_cast<const char*>(data), size));
    if (!failure.empty()) {
        std::fprintf(stderr, "scene file: %s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
