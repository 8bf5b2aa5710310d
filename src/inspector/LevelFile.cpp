#include "inspector/LevelFile.h"

#include <vector>

#include <imgui.h>
#include <imgui_stdlib.h>

#include "base/Path.h"
#include "core/Core.h"
#include "objects/ObjectManager.h"
#include "scene/Scene.h"

namespace {

const std::string kFirstLevel = std::string(kDefaultResourceFolder) + "Levels/level.json";

std::vector<GameObject> LiveObjects() {
    const ObjectManager* objects = Core::Instance().objectManager;
    return objects ? objects->GetLiveObjects() : std::vector<GameObject>();
}

} // namespace

std::string LevelFile::GetPath() const {
    if (!typed.empty())
        return typed;
    const Scene& scene = Scene::Instance();
    for (const GameObject& obj : LiveObjects())
        if (std::string source = scene.GetSourceFile(obj); !source.empty())
            return source;
    return kFirstLevel;
}

void LevelFile::Adopt(const GameObject& obj) const {
    Scene::Instance().SetSourceFile(obj, GetPath());
}

bool LevelFile::Save(std::string& message) const {
    Scene& scene = Scene::Instance();
    const std::string path = GetPath();
    std::vector<GameObject> level;
    const std::vector<GameObject> live = LiveObjects();
    for (const GameObject& obj : live)
        if (scene.GetSourceFile(obj) == path)
            level.push_back(obj);
    if (level.empty())
        level = live;
    if (level.empty()) {
        message = "nothing to save: there are no objects";
        return false;
    }
    std::string error;
    if (!scene.Save(path, level, error)) {
        message = error;
        return false;
    }
    for (const GameObject& obj : level)
        scene.SetSourceFile(obj, path);
    message = "saved " + std::to_string(level.size()) + " objects to " + path;
    return true;
}

GameObject LevelFile::Duplicate(const GameObject& obj, std::string& error) const {
    if (!ObjectManager::IsValid(obj)) {
        error = "the object no longer exists";
        return {};
    }
    Scene& scene = Scene::Instance();
    Scene::Placement beside;
    beside.position.x = 1.0f;
    const auto made =
        scene.FromJson(scene.ToJson({obj}), "a copy of object " + std::to_string(obj.id),
                       std::string(), beside, error);
    if (!made || made->size() != 1)
        return {};
    Adopt(made->front());
    return made->front();
}

void LevelFile::DrawSaveButton() {
    if (ImGui::Button("Save scene"))
        Save(lastMessage);
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Writes %s (right click: another file)", GetPath().c_str());
    if (ImGui::BeginPopupContextItem("level")) {
        std::string path = GetPath();
        ImGui::SetNextItemWidth(320.0f);
        if (ImGui::InputText("Level file", &path))
            typed = path;
        ImGui::EndPopup();
    }
}

void LevelFile::DrawOutcome() const {
    if (!lastMessage.empty())
        ImGui::TextWrapped("%s", lastMessage.c_str());
}
