#include "tools/ModelEditor.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/Core.h"
#include "core/Path.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsDebugDrawer.h"
#include "physics/PhysicsSystem.h"
#include "physics/Shape.h"
#include "tools/TweakBar.h"
#include "tools/VolumeCreationState.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"
#include "window/WindowSystem.h"

#include <BulletCollision/CollisionShapes/btBoxShape.h>

namespace {

const char* const kSetAnchorLabel = "Set as anchor voxel (model's rotation point)";
const char* const kIsAnchorLabel = "This voxel is the anchor voxel (model's rotation point)";

ModelEditor& Editor(void* clientData) {
    return *static_cast<ModelEditor*>(clientData);
}

bool IsUsableName(const std::string& name) {
    if (name.empty() || name == "." || name == "..")
        return false;
    return std::none_of(name.begin(), name.end(), [](char c) {
        return c == '/' || c == '\\' || static_cast<unsigned char>(c) < 32;
    });
}

void Report(const std::string& text) {
    std::fprintf(stderr, "Model editor: %s\n", text.c_str());
    std::fflush(stderr);
}

} // namespace

ModelEditor& ModelEditor::Instance() {
    static ModelEditor editor;
    return editor;
}

ModelEditor::ModelEditor() = default;
ModelEditor::~ModelEditor() = default;

std::string ModelEditor::GetModelsFolder() {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/");
}

void ModelEditor::Initialize() {
    if (running) {
        // Set up again without a clean-up in between (a script calling Initialize
        // twice): the first session's objects and panels go first.
        ObjectManager* objects = Core::Instance().objectManager;
        for (const GameObject& v : voxels)
            objects->DeleteObject(v);
        objects->DeleteObject(camera.GetObject());
        Cleanup();
    }
    movementMode = kPlaneXZ;
    voxels.clear();
    selectedIndex = anchorIndex = -1;
    leftButtonHeld = rightButtonHeld = false;
    propertiesBarPending = propertiesBarShown = false;
    guideOrigin = glm::vec3(0.0f);
    guideHalfSize = 5.0f;
    guideColour = glm::vec4(1.0f);
    fileName = "ModelName1";
    selectedModel = 0;
    volumeMode = false;
    question.clear();
    pending = Pending::None;
    status.clear();
    if (!volumeCreation)
        volumeCreation = std::make_unique<VolumeCreationState>(*this);

    mainPanel.Register(270, 400, 200, 10);
    mainPanel.AddButton(
        "Create Voxel", [](void* e) { Editor(e).CreateVoxel(); }, this);
    mainPanel.AddButton(
        "Toggle Voxel Volume Mode", [](void* e) { Editor(e).EnterVolumeMode(); }, this);
    mainPanel.AddButton(
        "Save Model (can press 'CTRL+S')", [](void* e) { Editor(e).Save(); }, this, " key=CTRL+s");
    mainPanel.AddVar("Filename", kTweakStdString, &fileName);
    mainPanel.AddButton(
        "Load Model", [](void* e) { Editor(e).LoadSelectedModel(); }, this);
    mainPanel.AddButton(
        "New Model (can press 'CTRL+N')", [](void* e) { Editor(e).AskNewModel(); }, this,
        " key=CTRL+n");
    modelListShown = false;
    RefreshModelList();

    camera.Create();
    if (listener == nullptr) {
        listener = new MessageListener::MessageListenerDerived<ModelEditor>(this);
        Core::Instance().messageManager->AddListener(*this, 0);
    }
    running = true;
}

void ModelEditor::Cleanup() {
    if (!running)
        return;
    running = false;
    if (volumeMode)
        volumeCreation->Leave();
    Deselect();
    if (!question.empty())
        CloseQuestion();
    mainPanel.Delete();
    modelListShown = false;
    voxels.clear();
    ShowMouseCursor(true);
    if (listener != nullptr) {
        Core::Instance().messageManager->RemoveListener(listener);
        delete listener;
        listener = nullptr;
    }
}

void ModelEditor::Update(float dt) {
    if (!running)
        return;
    if (IsValidIndex(selectedIndex))
        if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[selectedIndex]))
            voxel->color = selectedColour;
    if (propertiesBarPending) {
        propertiesBarPending = false;
        if (IsValidIndex(selectedIndex))
            BuildPropertiesPanel();
    }
    if (volumeMode)
        volumeCreation->Update(dt);
}

void ModelEditor::HandleMessage(const MessagePointer& message) {
    if (!running)
        return;
    if (const auto* button = message.As<MouseButtonMessage>()) {
        const bool pressed = button->state == KS_PRESSED;
        if (button->index == 0) {
            if (!pressed)
                ReleaseLeftButton();
            else if (!leftButtonHeld)
                PressLeftButton(button->mousePos[0], button->mousePos[1]);
        } else if (button->index == 1) {
            rightButtonHeld = pressed;
        }
    } else if (const auto* motion = message.As<MouseMotionMessage>()) {
        if (rightButtonHeld)
            camera.Turn(motion->xRel, motion->yRel);
        else if (leftButtonHeld && IsValidIndex(selectedIndex))
            DragSelected(motion->xRel, motion->yRel);
    } else if (message->id == MID_DebugDrawMessage) {
        DrawGuides();
    }
}

GameObject ModelEditor::CreateVoxel(std::optional<glm::vec3> position,
                                    std::optional<glm::vec4> colour, bool force) {
    if (!force && volumeMode)
        return GameObject();
    const GameObject obj = Core::Instance().objectManager->NewObject();
    auto* transform = ObjectManager::AddComponent<TransformComponent>(obj);
    auto* body = ObjectManager::AddComponent<BodyComponent>(obj);
    auto* voxel = ObjectManager::AddComponent<VoxelComponent>(obj);
    if (transform == nullptr || body == nullptr || voxel == nullptr)
        return GameObject();
    voxel->color = colour.value_or(glm::vec4(0.0f, 1.0f, 0.0f, 1.0f));
    body->isKinematic = true;
    body->initialMass = 1.0f;
    body->pendingShape =
        Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(0.49f, 0.49f, 0.49f)));
    body->collisionType = 1;
    body->collidesWith = 7;
    transform->position = position.value_or(glm::vec3(0.0f));
    ObjectManager::InitializeObj(obj);
    voxels.push_back(obj);
    if (voxels.size() == 1)
        anchorIndex = 0;
    return obj;
}

bool ModelEditor::IsValidIndex(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < voxels.size();
}

void ModelEditor::Select(int index) {
    if (!IsValidIndex(index))
        return;
    if (propertiesBarShown) {
        propertiesPanel.Delete();
        propertiesBarShown = false;
    }
    selectedIndex = index;
    if (auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[index]))
        guideOrigin = transform->position;
    if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
        selectedColour = voxel->color;
    propertiesBarPending = true;
}

void ModelEditor::Deselect() {
    selectedIndex = -1;
    propertiesBarPending = false;
    if (propertiesBarShown) {
        propertiesPanel.Delete();
        propertiesBarShown = false;
    }
}

void ModelEditor::BuildPropertiesPanel() {
    const EditorPanel& p = propertiesPanel;
    p.Register(400, 400, 10, 410);
    p.AddButton(
        "Delete this voxel", [](void* e) { Editor(e).DeleteSelectedVoxel(); }, this, " key=DELETE");
    p.AddButton(
        "Set Voxel Movement Plane - XZ", [](void* e) { Editor(e).SetMovementMode(kPlaneXZ); },
        this);
    p.AddButton(
        "Set Voxel Movement Plane - YZ", [](void* e) { Editor(e).SetMovementMode(kPlaneYZ); },
        this);
    p.AddButton(
        "Set Voxel Movement Plane - XY", [](void* e) { Editor(e).SetMovementMode(kPlaneXY); },
        this);
    p.AddButton(
        "Set Voxel Movement Axis - X (can press 'X')",
        [](void* e) { Editor(e).SetMovementMode(kAxisX); }, this, " key=x");
    p.AddButton(
        "Set Voxel Movement Axis - Y (can press 'Y')",
        [](void* e) { Editor(e).SetMovementMode(kAxisY); }, this, " key=y");
    p.AddButton(
        "Set Voxel Movement Axis - Z (can press 'Z')",
        [](void* e) { Editor(e).SetMovementMode(kAxisZ); }, this, " key=z");
    p.AddButton(
        "Duplicate Voxel (can press 'CTRL+C')", [](void* e) { Editor(e).DuplicateSelectedVoxel(); },
        this, " key=CTRL+c");
    p.AddVar("Selected Voxel Color", kTweakColor4f, &selectedColour);
    if (selectedIndex == anchorIndex)
        p.AddCaption(kIsAnchorLabel);
    else
        p.AddButton(
            kSetAnchorLabel, [](void* e) { Editor(e).MakeSelectedTheAnchor(); }, this);
    propertiesBarShown = true;
}

void ModelEditor::SetMovementMode(MovementMode mode) {
    if (!IsValidIndex(selectedIndex))
        return;
    movementMode = mode;
    if (auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[selectedIndex]))
        guideOrigin = transform->position;
}

void ModelEditor::MakeSelectedTheAnchor() {
    if (!IsValidIndex(selectedIndex) || selectedIndex == anchorIndex)
        return;
    anchorIndex = selectedIndex;
    if (propertiesBarShown) {
        propertiesPanel.RemoveVar(kSetAnchorLabel);
        propertiesPanel.AddCaption(kIsAnchorLabel);
    }
}

void ModelEditor::DeleteSelectedVoxel() {
    if (!IsValidIndex(selectedIndex))
        return;
    const int index = selectedIndex;
    Deselect();
    ObjectManager* objects = Core::Instance().objectManager;
    const int last = static_cast<int>(voxels.size()) - 1;
    const bool wasAnchor = index == anchorIndex;
    if (index != last) {
        std::swap(voxels[index], voxels[last]);
        if (anchorIndex == last)
            anchorIndex = index;
    }
    objects->DeleteObject(voxels.back());
    voxels.pop_back();
    if (voxels.empty())
        anchorIndex = -1;
    else if (wasAnchor)
        anchorIndex = 0;
}

void ModelEditor::DuplicateSelectedVoxel() {
    if (!IsValidIndex(selectedIndex) || volumeMode)
        return;
    const GameObject source = voxels[selectedIndex];
    const auto* transform = ObjectManager::GetComponent<TransformComponent>(source);
    const auto* voxel = ObjectManager::GetComponent<VoxelComponent>(source);
    if (transform != nullptr && voxel != nullptr)
        CreateVoxel(transform->position, voxel->color);
}

void ModelEditor::RemoveVoxels(const std::vector<GameObject>& objects) {
    if (objects.empty())
        return;
    Deselect();
    const bool hadAnchor = IsValidIndex(anchorIndex);
    const GameObject anchor = hadAnchor ? voxels[anchorIndex] : GameObject();
    const auto doomed = [&](const GameObject& v) {
        return std::any_of(objects.begin(), objects.end(), [&](const GameObject& o) {
            return o.id == v.id && o.generation == v.generation;
        });
    };
    for (const GameObject& v : voxels)
        if (doomed(v))
            Core::Instance().objectManager->DeleteObject(v);
    voxels.erase(std::remove_if(voxels.begin(), voxels.end(), doomed), voxels.end());
    anchorIndex = voxels.empty() ? -1 : 0;
    for (std::size_t i = 0; hadAnchor && i < voxels.size(); ++i)
        if (voxels[i].id == anchor.id && voxels[i].generation == anchor.generation)
            anchorIndex = static_cast<int>(i);
}

void ModelEditor::DeleteAllVoxels() {
    Deselect();
    for (const GameObject& v : voxels)
        Core::Instance().objectManager->DeleteObject(v);
    voxels.clear();
    anchorIndex = -1;
}

void ModelEditor::PressLeftButton(int x, int y) {
    leftButtonHeld = true;
    // The volume mode's panel takes the place of the properties panel.
    if (volumeMode)
        return;
    Core& core = Core::Instance();
    if (core.GraphicsSystem_ == nullptr || core.PhysicsSystem_ == nullptr)
        return;
    const MouseRay ray = core.GraphicsSystem_->GetMouseClickRay(x, y);
    const RayTestResult hit = core.PhysicsSystem_->RayTestClosestPoint(ray.start, ray.end);
    int found = -1;
    if (ObjectManager::IsValid(hit.object))
        for (std::size_t i = 0; i < voxels.size(); ++i)
            if (voxels[i].id == hit.object.id)
                found = static_cast<int>(i);
    if (found < 0) {
        Deselect();
        return;
    }
    ShowMouseCursor(false);
    if (found != selectedIndex)
        Select(found);
}

void ModelEditor::ReleaseLeftButton() {
    leftButtonHeld = false;
    ShowMouseCursor(true);
}

void ModelEditor::DragSelected(int dx, int dy) {
    auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[selectedIndex]);
    if (transform == nullptr)
        return;
    const float k = 1.0f / kPixelsPerUnit;
    const float x = static_cast<float>(dx) * k;
    const float y = static_cast<float>(dy) * k;
    glm::vec3& p = transform->position;
    switch (movementMode) {
    case kPlaneXZ:
        p.x += x;
        p.z += y;
        break;
    case kPlaneYZ:
        p.z += x;
        p.y -= y;
        break;
    case kPlaneXY:
        p.x += x;
        p.y -= y;
        break;
    case kAxisX:
        p.x += x;
        break;
    case kAxisY:
        p.y -= y;
        break;
    case kAxisZ:
        p.z += y;
        break;
    }
}

void ModelEditor::DrawGuides() {
    PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    PhysicsDebugDrawer* drawer = physics ? physics->GetDebugDrawer() : nullptr;
    if (drawer == nullptr)
        return;
    if (IsValidIndex(selectedIndex)) {
        const btVector3 colour(guideColour.r, guideColour.g, guideColour.b);
        const glm::vec3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
        const glm::vec3& o = guideOrigin;
        const float h = guideHalfSize;
        if (movementMode >= kAxisX) {
            const glm::vec3 axis = axes[movementMode - kAxisX] * h;
            drawer->drawLine(ToBullet(o - axis), ToBullet(o + axis), colour);
        } else {
            // The two axes spanning the plane: XZ, YZ, XY.
            static const int spans[3][2] = {{0, 2}, {1, 2}, {0, 1}};
            const glm::vec3 a = axes[spans[movementMode][0]] * h;
            const glm::vec3 b = axes[spans[movementMode][1]] * h;
            const glm::vec3 corners[] = {o - a - b, o + a - b, o + a + b, o - a + b};
            for (int i = 0; i < 4; ++i)
                drawer->drawLine(ToBullet(corners[i]), ToBullet(corners[(i + 1) % 4]), colour);
        }
    }
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        const auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[i]);
        if (transform == nullptr || !ObjectManager::IsValid(voxels[i]))
            continue;
        const float half = static_cast<int>(i) == anchorIndex ? 0.6f : 0.5f;
        const btVector3 colour =
            static_cast<int>(i) == selectedIndex ? btVector3(1, 0, 1) : btVector3(1, 1, 1);
        drawer->drawBox(ToBullet(transform->position - half), ToBullet(transform->position + half),
                        colour);
    }
}

void ModelEditor::ShowMouseCursor(bool visible) {
    WindowSystem* window = Core::Instance().WindowSystem_;
    if (window != nullptr && window->IsOpen())
        window->GetWindow().setMouseCursorVisible(visible);
}

void ModelEditor::Save() {
    const std::string name = fileName + ".vxm";
    if (!IsUsableName(fileName)) {
        SetStatus("Cannot save: '" + fileName + "' is not a file name");
        return;
    }
    std::error_code error;
    const bool exists = std::find(modelNames.begin(), modelNames.end(), name) != modelNames.end() ||
                        std::filesystem::exists(GetModelsFolder() + name, error);
    if (exists) {
        Ask("Are you sure you want to overwrite the existing save file (" + name + ")?",
            Pending::Overwrite);
        return;
    }
    if (WriteModel())
        RefreshModelList();
}

bool ModelEditor::WriteModel() {
    if (!IsUsableName(fileName)) {
        SetStatus("Cannot save: '" + fileName + "' is not a file name");
        return false;
    }
    // The anchor goes first, and every position is stored relative to it.
    if (IsValidIndex(anchorIndex) && anchorIndex != 0) {
        std::swap(voxels[0], voxels[anchorIndex]);
        if (selectedIndex == 0)
            selectedIndex = anchorIndex;
        else if (selectedIndex == anchorIndex)
            selectedIndex = 0;
        anchorIndex = 0;
    }
    glm::vec3 origin(0.0f);
    if (IsValidIndex(anchorIndex))
        if (const auto* t = ObjectManager::GetComponent<TransformComponent>(voxels[anchorIndex]))
            origin = t->position;
    VoxelModel model;
    model.voxels.reserve(voxels.size());
    for (const GameObject& v : voxels) {
        const auto* transform = ObjectManager::GetComponent<TransformComponent>(v);
        const auto* voxel = ObjectManager::GetComponent<VoxelComponent>(v);
        if (transform == nullptr || voxel == nullptr)
            continue;
        VoxelInstance instance;
        instance.color = voxel->color;
        instance.position = glm::vec4(transform->position - origin, 1.0f);
        model.voxels.push_back(instance);
    }
    const std::string name = fileName + ".vxm";
    const std::string folder = GetModelsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!model.SaveToFile(folder + name)) {
        SetStatus("Could not save " + name + " (see standard error)");
        return false;
    }
    SetStatus("Saved " + name);
    lastSavedModel = std::string(kDefaultResourceFolder) + "Models/" + name;
    RefreshCachedModel(folder + name);
    return true;
}

void ModelEditor::RefreshCachedModel(const std::string& file) {
    GraphicsSystem* graphics = Core::Instance().GraphicsSystem_;
    if (graphics == nullptr)
        return;
    for (auto& [key, cached] : graphics->modelCache) {
        std::error_code error;
        if (std::filesystem::equivalent(ResolvePath(key), file, error))
            cached.LoadFromFile(key);
    }
}

bool ModelEditor::LoadSelectedModel() {
    // Loading makes voxels the ordinary way, which the volume mode would refuse.
    if (volumeMode)
        volumeCreation->Leave();
    if (selectedModel < 0 || static_cast<std::size_t>(selectedModel) >= modelNames.size()) {
        SetStatus("No model chosen to load");
        return false;
    }
    const std::string name = modelNames[selectedModel];
    VoxelModel model;
    if (!model.LoadFromFile(GetModelsFolder() + name)) {
        SetStatus("Could not load " + name + "; the model is unchanged");
        return false;
    }
    DeleteAllVoxels();
    for (const VoxelInstance& v : model.voxels)
        CreateVoxel(glm::vec3(v.position), v.color);
    fileName = name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
    SetStatus("Loaded " + name);
    return true;
}

void ModelEditor::AskNewModel() {
    Ask("Are you sure you want to abandon unsaved changes and start a new model?",
        Pending::NewModel);
}

void ModelEditor::StartNewModel() {
    DeleteAllVoxels();
    fileName = "ModelName1";
}

void ModelEditor::EnterVolumeMode() {
    if (volumeMode)
        return;
    Deselect();
    volumeMode = true;
    volumeCreation->Enter();
}

void ModelEditor::RefreshModelList() {
    const std::string chosen =
        selectedModel >= 0 && static_cast<std::size_t>(selectedModel) < modelNames.size()
            ? modelNames[selectedModel]
            : std::string();
    if (modelListShown)
        mainPanel.RemoveVar("Models");
    modelListShown = false;
    modelNames.clear();
    std::error_code error;
    for (std::filesystem::directory_iterator it(GetModelsFolder(), error), end; !error && it != end;
         it.increment(error)) {
        const std::string name = it->path().filename().string();
        // The list's labels are joined with commas, so a comma would split a name.
        if (it->is_regular_file(error) && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".vxm") == 0 && name.find(',') == std::string::npos)
            modelNames.push_back(name);
    }
    std::sort(modelNames.begin(), modelNames.end());
    const auto at = std::find(modelNames.begin(), modelNames.end(), chosen);
    selectedModel = at != modelNames.end() ? static_cast<std::int32_t>(at - modelNames.begin()) : 0;
    if (modelNames.empty())
        return;
    std::string labels;
    for (const std::string& name : modelNames)
        labels += (labels.empty() ? "" : ",") + name;
    mainPanel.AddEnum("Models", &selectedModel, labels);
    modelListShown = true;
}

void ModelEditor::Ask(const std::string& text, Pending action) {
    // A question asked while another is open replaces it.
    confirmationPanel.Register(850, 300, 500, 350);
    if (!question.empty())
        confirmationPanel.Clear();
    question = text;
    pending = action;
    confirmationPanel.AddCaption(text);
    confirmationPanel.AddButton(
        "Yes", [](void* e) { Editor(e).AnswerYes(); }, this);
    confirmationPanel.AddButton(
        "No", [](void* e) { Editor(e).AnswerNo(); }, this);
}

void ModelEditor::CloseQuestion() {
    confirmationPanel.Delete();
    question.clear();
    pending = Pending::None;
}

void ModelEditor::AnswerYes() {
    const Pending action = pending;
    CloseQuestion();
    if (action == Pending::Overwrite) {
        if (WriteModel())
            RefreshModelList();
    } else if (action == Pending::NewModel) {
        StartNewModel();
    }
}

void ModelEditor::AnswerNo() {
    CloseQuestion();
}

void ModelEditor::SetStatus(const std::string& text) {
    if (!status.empty())
        mainPanel.RemoveVar(status);
    status = text;
    mainPanel.AddCaption(status);
    if (text.rfind("Saved ", 0) != 0 && text.rfind("Loaded ", 0) != 0)
        Report(text);
}
