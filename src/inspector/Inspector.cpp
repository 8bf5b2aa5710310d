#include "inspector/Inspector.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>
#include <glm/vec4.hpp>
#include <glm/vector_relational.hpp>
#include <imgui.h>

#include "base/Path.h"
#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/Projection.h"
#include "graphics/TransformComponent.h"
#include "inspector/ComponentEditor.h"
#include "inspector/ObjectBounds.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "tools/AntBarSystem.h"
#include "voxels/VoxelModelComponent.h"

namespace {

std::string ComponentList(const GameObject& obj) {
    std::string names;
    ForEachComponentType([&](auto tag) {
        using T = typename decltype(tag)::Type;
        if (!ObjectManager::HasComponent<T>(obj))
            return;
        std::string_view name = ComponentTypeName<T>();
        // "VoxelModel" says as much as "VoxelModelComponent" in a narrow list.
        constexpr std::string_view kSuffix = "Component";
        if (name.size() > kSuffix.size() && name.substr(name.size() - kSuffix.size()) == kSuffix)
            name.remove_suffix(kSuffix.size());
        names += names.empty() ? "" : ", ";
        names += name;
    });
    return names;
}

std::string Label(const GameObject& obj) {
    char label[48];
    std::snprintf(label, sizeof label, "%u (gen %u)", obj.id, obj.generation);
    return label;
}

// Where a model is placed when the mouse ray does not meet the ground in view.
constexpr float kPlaceAhead = 10.0f;
// How far the mouse moves with the button down before a click becomes a drag.
constexpr int kDragThreshold = 3;

// Where the ray meets the horizontal plane at `height` within the view (between
// the near and the far plane); nothing when it runs beside or away from it.
std::optional<glm::vec3> PlaneHit(const MouseRay& ray, float height) {
    const glm::vec3 along = ray.end - ray.start;
    if (std::abs(along.y) < 1e-6f)
        return std::nullopt;
    const float t = (height - ray.start.y) / along.y;
    if (t < 0.0f || t > 1.0f)
        return std::nullopt;
    return ray.start + t * along;
}

std::string ModelsFolder() {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/");
}

} // namespace

Inspector* Inspector::Current() {
    AntBarSystem* panels = Core::Instance().AntBarSystem_;
    return panels != nullptr ? &panels->GetInspector() : nullptr;
}

void Inspector::Hide() {
    FinishDrag();
    keysTaken.clear();
    shown = false;
    clickTaken = false;
    modelToPlace.clear();
}

void Inspector::Select(const GameObject& obj) {
    selected = ObjectManager::IsValid(obj) ? obj : GameObject();
}

GameObject Inspector::GetSelected() const {
    return ObjectManager::IsValid(selected) ? selected : GameObject();
}

void Inspector::DeleteSelected() {
    FinishDrag();
    history.DeleteObject(selected);
    selected = GameObject();
}

bool Inspector::Undo() {
    FinishDrag();
    const std::optional<GameObject> touched = history.Undo();
    if (touched)
        Select(*touched);
    return touched.has_value();
}

bool Inspector::Redo() {
    FinishDrag();
    const std::optional<GameObject> touched = history.Redo();
    if (touched)
        Select(*touched);
    return touched.has_value();
}

GameObject Inspector::DuplicateSelected() {
    FinishDrag();
    if (!ObjectManager::IsValid(GetSelected()))
        return {};
    const GameObject copy = level.Duplicate(GetSelected(), duplicateError);
    if (!ObjectManager::IsValid(copy))
        return {};
    duplicateError.clear();
    history.RecordCreated(copy, "Duplicate");
    Select(copy);
    return copy;
}

std::vector<std::string> Inspector::GetModelFiles() {
    namespace fs = std::filesystem;
    std::vector<std::string> files;
    const fs::path folder = ModelsFolder();
    std::error_code error;
    for (auto it = fs::recursive_directory_iterator(folder, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        const std::string extension = it->path().extension().string();
        if (it->is_regular_file(error) && (extension == ".vxm" || extension == ".vox"))
            files.push_back(it->path().lexically_relative(folder).generic_string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

GameObject Inspector::AddModel(const std::string& file, int x, int y) {
    FinishDrag();
    Core& core = Core::Instance();
    GraphicsSystem* graphics = core.GraphicsSystem_;
    if (graphics == nullptr || core.objectManager == nullptr)
        return {};
    // Named as the game's scripts name models, so that the name stays the
    // game's wherever it is installed.
    VoxelModel* model = graphics->GetModel(std::string(kDefaultResourceFolder) + "Models/" + file);
    if (model == nullptr)
        return {};
    const MouseRay ray = graphics->GetMouseClickRay(x, y);
    const glm::vec3 ahead = ray.start + glm::normalize(ray.end - ray.start) * kPlaceAhead;
    const GameObject obj = core.objectManager->NewObject();
    auto* transform = ObjectManager::AddComponent<TransformComponent>(obj);
    auto* shown = ObjectManager::AddComponent<VoxelModelComponent>(obj);
    if (transform == nullptr || shown == nullptr)
        return {};
    transform->position = PlaneHit(ray, 0.0f).value_or(ahead);
    shown->model = model;
    ObjectManager::InitializeObj(obj);
    if (!ObjectManager::IsValid(obj))
        return {};
    level.Adopt(obj);
    history.RecordCreated(obj, "Add model " + file);
    Select(obj);
    return obj;
}

void Inspector::BeginDrag(int x, int y) {
    const GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    const GameObject obj = GetSelected();
    const auto* transform = ObjectManager::GetComponent<TransformComponent>(obj);
    if (graphics == nullptr || !ObjectManager::HasComponent<TransformComponent>(obj))
        return;
    const std::optional<glm::vec3> hit =
        PlaneHit(graphics->GetMouseClickRay(x, y), transform->position.y);
    if (!hit)
        return;
    history.CloseOngoing();
    drag = Drag{obj, transform->position, transform->position - *hit, x, y, false};
    drag->grabOffset.y = 0.0f;
}

void Inspector::MoveDragged(int x, int y) {
    const GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    auto* transform = ObjectManager::GetComponent<TransformComponent>(drag->object);
    if (graphics == nullptr || !ObjectManager::IsValid(drag->object) ||
        !ObjectManager::HasComponent<TransformComponent>(drag->object)) {
        drag.reset();
        return;
    }
    drag->moving = drag->moving || std::abs(x - drag->pressX) > kDragThreshold ||
                   std::abs(y - drag->pressY) > kDragThreshold;
    if (!drag->moving)
        return;
    const std::optional<glm::vec3> hit = PlaneHit(graphics->GetMouseClickRay(x, y), drag->start.y);
    if (!hit)
        return;
    transform->position = *hit + drag->grabOffset;
    transform->position.y = drag->start.y;
    PlaceBodyAtTransform(drag->object);
}

void Inspector::FinishDrag() {
    if (!drag)
        return;
    history.RecordMove(drag->object, drag->start);
    drag.reset();
}

bool Inspector::SelectAt(int x, int y) {
    const GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    if (graphics == nullptr)
        return false;
    Select(PickObject(graphics->GetMouseClickRay(x, y)));
    return true;
}

bool Inspector::HandleEvent(const sf::Event& event) {
    if (event.type == sf::Event::KeyPressed && event.key.code == kToggleKey) {
        Toggle();
        return true;
    }
    if (event.type == sf::Event::KeyReleased && event.key.code == kToggleKey)
        return true;
    if (!shown)
        return false;
    if (event.type == sf::Event::KeyReleased) {
        const auto taken = std::find(keysTaken.begin(), keysTaken.end(), event.key.code);
        if (taken == keysTaken.end())
            return false;
        keysTaken.erase(taken);
        return true;
    }
    if (event.type == sf::Event::KeyPressed) {
        const sf::Keyboard::Key key = event.key.code;
        const bool redo = event.key.control &&
                          (key == sf::Keyboard::Y || (key == sf::Keyboard::Z && event.key.shift));
        const bool undo = event.key.control && key == sf::Keyboard::Z && !redo;
        const bool cancel = key == sf::Keyboard::Escape && !modelToPlace.empty();
        const bool duplicate = event.key.control && key == sf::Keyboard::D;
        if (redo)
            Redo();
        else if (duplicate)
            DuplicateSelected();
        else if (undo)
            Undo();
        else if (cancel)
            modelToPlace.clear();
        else
            return false;
        keysTaken.push_back(key);
        return true;
    }
    if (event.type == sf::Event::MouseMoved && drag) {
        MoveDragged(event.mouseMove.x, event.mouseMove.y);
        return true;
    }
    const bool mouseButton =
        event.type == sf::Event::MouseButtonPressed || event.type == sf::Event::MouseButtonReleased;
    if (!mouseButton || event.mouseButton.button != sf::Mouse::Left)
        return false;
    const int x = event.mouseButton.x, y = event.mouseButton.y;
    if (event.type == sf::Event::MouseButtonPressed) {
        FinishDrag();
        if (!modelToPlace.empty()) {
            AddModel(modelToPlace, x, y);
            modelToPlace.clear();
            clickTaken = true;
            return true;
        }
        clickTaken = SelectAt(x, y);
        // A press on an object starts its drag; a release without a move
        // leaves it where it was and records nothing.
        if (clickTaken && ObjectManager::IsValid(GetSelected()))
            BeginDrag(x, y);
        return clickTaken;
    }
    FinishDrag();
    if (clickTaken) {
        clickTaken = false;
        return true;
    }
    return false;
}

std::optional<sf::FloatRect> Inspector::Draw() {
    if (!shown)
        return std::nullopt;
    const GameObject obj = GetSelected();
    if (ObjectManager::IsValid(obj))
        DrawOutline(obj);
    ImGui::SetNextWindowPos(ImVec2(10.0f, 10.0f), ImGuiCond_FirstUseEver);
    const float height = std::max(200.0f, std::min(520.0f, ImGui::GetIO().DisplaySize.y - 20.0f));
    ImGui::SetNextWindowSize(ImVec2(420.0f, height), ImGuiCond_FirstUseEver);
    bool open = true;
    if (ImGui::Begin("Inspector", &open)) {
        DrawObjectList();
        level.DrawOutcome();
        if (!modelToPlace.empty())
            ImGui::TextColored(ImVec4(1.0f, 0.8f, 0.0f, 1.0f),
                               "Click the ground to place %s (Esc: cancel)", modelToPlace.c_str());
        if (ObjectManager::IsValid(GetSelected()))
            DrawSelection(GetSelected());
        else
            ImGui::TextDisabled("Click an object in the list or in the world.");
    }
    const ImVec2 pos = ImGui::GetWindowPos();
    const ImVec2 size = ImGui::GetWindowSize();
    ImGui::End();
    // A value dragged or typed in a field is one step once it is let go.
    if (!ImGui::IsAnyItemActive())
        history.CloseOngoing();
    if (!open)
        Hide();
    return sf::FloatRect(pos.x, pos.y, size.x, size.y);
}

void Inspector::DrawToolbar() {
    ImGui::BeginDisabled(!history.CanUndo());
    if (ImGui::Button("Undo"))
        Undo();
    if (const InspectorStep* step = history.NextUndo(); step && ImGui::IsItemHovered())
        ImGui::SetTooltip("%s (CTRL+Z)", step->name.c_str());
    ImGui::EndDisabled();
    ImGui::SameLine();
    ImGui::BeginDisabled(!history.CanRedo());
    if (ImGui::Button("Redo"))
        Redo();
    if (const InspectorStep* step = history.NextRedo(); step && ImGui::IsItemHovered())
        ImGui::SetTooltip("%s (CTRL+Y)", step->name.c_str());
    ImGui::EndDisabled();
    ImGui::SameLine();
    if (ImGui::Button("Add model...")) {
        modelFiles = GetModelFiles();
        ImGui::OpenPopup("models");
    }
    ImGui::SameLine();
    level.DrawSaveButton();
    if (ImGui::BeginPopup("models")) {
        if (modelFiles.empty())
            ImGui::TextDisabled("No .vxm or .vox files in %s", ModelsFolder().c_str());
        for (const std::string& file : modelFiles)
            if (ImGui::Selectable(file.c_str()))
                modelToPlace = file;
        ImGui::EndPopup();
    }
}

void Inspector::DrawObjectList() {
    const ObjectManager* objects = Core::Instance().objectManager;
    if (objects == nullptr)
        return;
    // On the filter's line, so that the fields below keep their room.
    DrawToolbar();
    ImGui::SameLine();
    const std::vector<GameObject> live = objects->GetLiveObjects();
    // The count lives in the hint: the toolbar leaves the line little room.
    char hint[64];
    std::snprintf(hint, sizeof hint, "filter %zu objects", live.size());
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", filter.c_str());
    ImGui::SetNextItemWidth(-1.0f);
    if (ImGui::InputTextWithHint("##filter", hint, buffer, sizeof buffer))
        filter = buffer;
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("Keeps the objects whose id or component names contain the text");
    ImGui::BeginChild("objects", ImVec2(0.0f, 160.0f), true);
    // Only the rows in view are made: a scene of many thousand objects would
    // otherwise cost milliseconds a frame in texts nobody sees.
    std::vector<GameObject> rows;
    if (filter.empty())
        rows = live;
    else
        for (const GameObject& obj : live)
            if ((Label(obj) + ": " + ComponentList(obj)).find(filter) != std::string::npos)
                rows.push_back(obj);
    ImGuiListClipper clipper;
    clipper.Begin(static_cast<int>(rows.size()));
    while (clipper.Step())
        for (int i = clipper.DisplayStart; i < clipper.DisplayEnd; ++i) {
            const GameObject& obj = rows[static_cast<std::size_t>(i)];
            const std::string text = Label(obj) + ": " + ComponentList(obj);
            ImGui::PushID(static_cast<int>(obj.id));
            const bool isSelected =
                ObjectManager::CompareObj(obj, selected) && obj.generation == selected.generation;
            if (ImGui::Selectable(text.c_str(), isSelected))
                Select(obj);
            ImGui::PopID();
        }
    ImGui::EndChild();
}

void Inspector::DrawSelection(const GameObject& obj) {
    ImGui::Separator();
    ImGui::Text("Object %s", Label(obj).c_str());
    ImGui::SameLine();
    if (ImGui::SmallButton("Delete object")) {
        DeleteSelected();
        return;
    }
    ImGui::SameLine();
    if (ImGui::SmallButton("Duplicate")) {
        DuplicateSelected();
        return;
    }
    if (ImGui::IsItemHovered())
        ImGui::SetTooltip("CTRL+D");
    if (!duplicateError.empty())
        ImGui::TextWrapped("Cannot copy: %s", duplicateError.c_str());
    DrawAddComponent(obj, history);
    DrawComponentSections(obj, history);
}

void Inspector::DrawOutline(const GameObject& obj) const {
    const GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    const std::optional<ObjectBox> box = OutlineBoxOf(obj);
    if (graphics == nullptr || !box)
        return;
    // Seen from inside (the camera's own object) a box has no outline to
    // show, only edges sweeping across the whole window.
    const glm::vec3 eye = glm::inverse(graphics->GetCameraMatrix())[3];
    const glm::vec3 local = glm::inverse(box->axes) * (eye - box->origin);
    if (glm::all(glm::greaterThan(local, box->low - 0.05f)) &&
        glm::all(glm::lessThan(local, box->high + 0.05f)))
        return;
    const glm::mat4 viewProjection = graphics->GetProjectionMatrix() * graphics->GetCameraMatrix();
    const ImVec2 display = ImGui::GetIO().DisplaySize;
    const auto corners = box->WorldCorners();
    std::array<glm::vec4, 8> clip;
    for (std::size_t i = 0; i < corners.size(); ++i)
        clip[i] = viewProjection * glm::vec4(corners[i], 1.0f);
    const auto screen = [&](const glm::vec4& c) {
        return ImVec2((c.x / c.w + 1.0f) * 0.5f * display.x, (1.0f - c.y / c.w) * 0.5f * display.y);
    };
    ImDrawList* draw = ImGui::GetBackgroundDrawList();
    // Corners differ in one bit along each edge of the box.
    for (std::size_t a = 0; a < 8; ++a)
        for (std::size_t bit : {1u, 2u, 4u}) {
            const std::size_t b = a | bit;
            if (b == a)
                continue;
            // An edge reaching behind the eye would be drawn mirrored; leave it out.
            if (clip[a].w <= 1e-4f || clip[b].w <= 1e-4f)
                continue;
            draw->AddLine(screen(clip[a]), screen(clip[b]), IM_COL32(255, 200, 0, 255), 2.0f);
        }
}
