#include "inspector/Inspector.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>
#include <glm/vec4.hpp>
#include <glm/vector_relational.hpp>
#include <imgui.h>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "inspector/ComponentEditor.h"
#include "inspector/ObjectBounds.h"
#include "objects/ComponentTypes.h"
#include "objects/ObjectManager.h"
#include "tools/AntBarSystem.h"

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

} // namespace

Inspector* Inspector::Current() {
    AntBarSystem* panels = Core::Instance().AntBarSystem_;
    return panels != nullptr ? &panels->GetInspector() : nullptr;
}

void Inspector::Hide() {
    shown = false;
    clickTaken = false;
}

void Inspector::Select(const GameObject& obj) {
    selected = ObjectManager::IsValid(obj) ? obj : GameObject();
}

GameObject Inspector::GetSelected() const {
    return ObjectManager::IsValid(selected) ? selected : GameObject();
}

void Inspector::DeleteSelected() {
    ObjectManager* objects = Core::Instance().objectManager;
    if (objects != nullptr && ObjectManager::IsValid(selected))
        objects->DeleteObject(selected);
    selected = GameObject();
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
    const bool mouseButton =
        event.type == sf::Event::MouseButtonPressed || event.type == sf::Event::MouseButtonReleased;
    if (!shown || !mouseButton || event.mouseButton.button != sf::Mouse::Left)
        return false;
    if (event.type == sf::Event::MouseButtonPressed) {
        clickTaken = SelectAt(event.mouseButton.x, event.mouseButton.y);
        return clickTaken;
    }
    if (event.type == sf::Event::MouseButtonReleased && clickTaken) {
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
        if (ObjectManager::IsValid(GetSelected()))
            DrawSelection(GetSelected());
        else
            ImGui::TextDisabled("Click an object in the list or in the world.");
    }
    const ImVec2 pos = ImGui::GetWindowPos();
    const ImVec2 size = ImGui::GetWindowSize();
    ImGui::End();
    if (!open)
        Hide();
    return sf::FloatRect(pos.x, pos.y, size.x, size.y);
}

void Inspector::DrawObjectList() {
    const ObjectManager* objects = Core::Instance().objectManager;
    if (objects == nullptr)
        return;
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, "%s", filter.c_str());
    ImGui::SetNextItemWidth(-100.0f);
    if (ImGui::InputTextWithHint("##filter", "filter by id or component", buffer, sizeof buffer))
        filter = buffer;
    const std::vector<GameObject> live = objects->GetLiveObjects();
    ImGui::SameLine();
    ImGui::Text("%zu objects", live.size());
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
    DrawAddComponent(obj);
    DrawComponentSections(obj);
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
