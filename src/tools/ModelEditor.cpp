#include "tools/ModelEditor.h"

#include <algorithm>
#include <cstdio>

#include "core/Core.h"
#include "graphics/GraphicsSystem.h"
#include "graphics/TransformComponent.h"
#include "messaging/Message.h"
#include "messaging/MessageManager.h"
#include "messaging/MessagePointer.h"
#include "objects/ObjectManager.h"
#include "physics/BulletConvert.h"
#include "physics/PhysicsDebugDrawer.h"
#include "physics/PhysicsSystem.h"
#include "tools/TweakBar.h"
#include "tools/VolumeCreationState.h"
#include "voxels/VoxelModel.h"
#include "window/WindowSystem.h"

namespace {

const char* const kSetAnchorLabel = "Set as anchor voxel (model's rotation point)";
const char* const kIsAnchorLabel = "This voxel is the anchor voxel (model's rotation point)";

ModelEditor& Editor(void* clientData) {
    return *static_cast<ModelEditor*>(clientData);
}

ModelDocument& Document(void* clientData) {
    return Editor(clientData).GetDocument();
}

// "3", "2.5": at most two decimals, no trailing zeros.
std::string Figure(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", static_cast<double>(value));
    std::string s = text;
    while (!s.empty() && s.back() == '0')
        s.pop_back();
    if (!s.empty() && s.back() == '.')
        s.pop_back();
    return s == "-0" ? "0" : s;
}

const glm::vec3 kMirrorColours[3] = {{1.0f, 0.3f, 0.3f}, {0.3f, 1.0f, 0.3f}, {0.3f, 0.5f, 1.0f}};

} // namespace

ModelEditor& ModelEditor::Instance() {
    static ModelEditor editor;
    return editor;
}

ModelEditor::ModelEditor() {
    document.SetSelectionListener([this] { OnSelectionChanged(); });
}

ModelEditor::~ModelEditor() = default;

void ModelEditor::Initialize() {
    if (running) {
        // Set up again without a clean-up in between (a script calling Initialize
        // twice): the first session's objects and panels go first.
        ObjectManager* objects = Core::Instance().objectManager;
        for (const GameObject& v : document.GetVoxels())
            objects->DeleteObject(v);
        objects->DeleteObject(camera.GetObject());
        Cleanup();
    }
    movementMode = kPlaneXZ;
    document.Reset();
    leftButtonHeld = rightButtonHeld = false;
    propertiesBarPending = propertiesBarShown = false;
    guideOrigin = glm::vec3(0.0f);
    guideHalfSize = 5.0f;
    guideColour = glm::vec4(1.0f);
    volumeMode = false;
    question.clear();
    pending = Pending::None;
    if (!volumeCreation)
        volumeCreation = std::make_unique<VolumeCreationState>(*this);

    mainPanel.Register(270, 400, 200, 10);
    mainPanel.AddButton(
        "Create Voxel", [](void* e) { Editor(e).CreateVoxel(); }, this);
    mainPanel.AddButton(
        "Toggle Voxel Volume Mode", [](void* e) { Editor(e).EnterVolumeMode(); }, this);
    mainPanel.AddButton(
        "Save Model (can press 'CTRL+S')", [](void* e) { Editor(e).Save(); }, this, " key=CTRL+s");
    mainPanel.AddVar("Filename", kTweakStdString, &document.fileName);
    mainPanel.AddButton(
        "Load Model", [](void* e) { Editor(e).LoadSelectedModel(); }, this);
    mainPanel.AddButton(
        "New Model (can press 'CTRL+N')", [](void* e) { Editor(e).AskNewModel(); }, this,
        " key=CTRL+n");
    // CTRL+Z is no panel shortcut: the first panel whose shortcut matches takes a key, and
    // while the volume mode is on its own CTRL+Z (its last block) must be the one that
    // acts. HandleMessage takes the key when no panel did.
    mainPanel.AddButton(
        "Undo (can press 'CTRL+Z')", [](void* e) { Document(e).Undo(); }, this);
    mainPanel.AddButton(
        "Redo (can press 'CTRL+Y')", [](void* e) { Document(e).Redo(); }, this, " key=CTRL+y");
    mainPanel.AddVar("Mirror X", kTweakBool8, &document.mirror[0]);
    mainPanel.AddVar("Mirror Y", kTweakBool8, &document.mirror[1]);
    mainPanel.AddVar("Mirror Z", kTweakBool8, &document.mirror[2]);
    UpdateModelInfo();
    mainPanel.AddVar("Voxel Count", kTweakInt32, &voxelCount, " readonly=true");
    mainPanel.AddVar("Model Size (voxels)", kTweakStdString, &modelSize, " readonly=true");
    mainPanel.AddButton(
        "Export Mesh", [](void* e) { Editor(e).GetFiles().ExportModelMesh(); }, this);
    mainPanel.AddVar("Lit preview", kTweakBool8, &litPreview.enabled);
    files.Initialize();

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
    RememberView();
    document.Close();
    if (!question.empty())
        CloseQuestion();
    mainPanel.Delete();
    files.Cleanup();
    litPreview.Close();
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
    document.SetSelectedColour(selectedColour);
    if (propertiesBarPending) {
        propertiesBarPending = false;
        if (document.IsValidIndex(document.GetSelectedIndex()))
            BuildPropertiesPanel();
    }
    if (volumeMode)
        volumeCreation->Update(dt);
    UpdateModelInfo();
    litPreview.Update(modelLow, modelHigh, voxelCount > 0);
    files.Update();
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
        else if (leftButtonHeld && document.IsValidIndex(document.GetSelectedIndex()))
            DragSelected(motion->xRel, motion->yRel);
    } else if (const auto* key = message.As<KeyboardMessage>()) {
        // Only keys no panel took arrive here; the console's typing must not undo.
        if (key->state == KS_PRESSED && key->ctrl && !key->alt && key->key == 'z' &&
            AreKeysSteering()) {
            if (key->shift)
                document.Redo();
            else if (volumeMode)
                volumeCreation->Undo();
            else
                document.Undo();
        }
    } else if (message->id == MID_DebugDrawMessage) {
        DrawGuides();
    }
}

void ModelEditor::CreateVoxel() {
    if (!volumeMode)
        document.CreateVoxel();
}

void ModelEditor::DuplicateSelectedVoxel() {
    if (!volumeMode)
        document.DuplicateSelectedVoxel();
}

void ModelEditor::OnSelectionChanged() {
    if (propertiesBarShown) {
        propertiesPanel.Delete();
        propertiesBarShown = false;
    }
    const int index = document.GetSelectedIndex();
    propertiesBarPending = document.IsValidIndex(index);
    if (!propertiesBarPending)
        return;
    const VoxelData selected = document.GetVoxelData(index);
    guideOrigin = selected.position;
    selectedColour = selected.colour;
}

void ModelEditor::BuildPropertiesPanel() {
    const EditorPanel& p = propertiesPanel;
    p.Register(400, 400, 10, 410);
    p.AddButton(
        "Delete this voxel", [](void* e) { Document(e).DeleteSelectedVoxel(); }, this,
        " key=DELETE");
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
    if (document.GetSelectedIndex() == document.GetAnchorIndex())
        p.AddCaption(kIsAnchorLabel);
    else
        p.AddButton(
            kSetAnchorLabel, [](void* e) { Editor(e).MakeSelectedTheAnchor(); }, this);
    propertiesBarShown = true;
}

void ModelEditor::SetMovementMode(MovementMode mode) {
    const int selected = document.GetSelectedIndex();
    if (!document.IsValidIndex(selected))
        return;
    movementMode = mode;
    guideOrigin = document.GetVoxelData(selected).position;
}

void ModelEditor::MakeSelectedTheAnchor() {
    if (document.MakeSelectedTheAnchor() && propertiesBarShown) {
        propertiesPanel.RemoveVar(kSetAnchorLabel);
        propertiesPanel.AddCaption(kIsAnchorLabel);
    }
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
    const std::vector<GameObject>& voxels = document.GetVoxels();
    int found = -1;
    if (ObjectManager::IsValid(hit.object))
        for (std::size_t i = 0; i < voxels.size(); ++i)
            if (voxels[i].id == hit.object.id)
                found = static_cast<int>(i);
    if (found < 0) {
        document.Deselect();
        return;
    }
    ShowMouseCursor(false);
    if (found != document.GetSelectedIndex())
        document.Select(found);
    document.BeginDrag();
}

void ModelEditor::ReleaseLeftButton() {
    leftButtonHeld = false;
    document.FinishDrag();
    ShowMouseCursor(true);
}

void ModelEditor::DragSelected(int dx, int dy) {
    const float k = 1.0f / kPixelsPerUnit;
    const float x = static_cast<float>(dx) * k;
    const float y = static_cast<float>(dy) * k;
    // Screen right is +x (or +z seen from the side), screen down is -y or +z.
    glm::vec3 offset(0.0f);
    switch (movementMode) {
    case kPlaneXZ:
        offset = {x, 0.0f, y};
        break;
    case kPlaneYZ:
        offset = {0.0f, -y, x};
        break;
    case kPlaneXY:
        offset = {x, -y, 0.0f};
        break;
    case kAxisX:
        offset.x = x;
        break;
    case kAxisY:
        offset.y = -y;
        break;
    case kAxisZ:
        offset.z = y;
        break;
    }
    document.MoveDragged(offset);
}

void ModelEditor::DrawGuides() {
    PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    PhysicsDebugDrawer* drawer = physics ? physics->GetDebugDrawer() : nullptr;
    if (drawer == nullptr)
        return;
    const std::vector<GameObject>& voxels = document.GetVoxels();
    const int selectedIndex = document.GetSelectedIndex();
    const int anchorIndex = document.GetAnchorIndex();
    const glm::vec3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // The two axes spanning a plane, by the axis it is perpendicular to.
    static const int across[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    const auto square = [&](const glm::vec3& o, const glm::vec3& a, const glm::vec3& b,
                            const btVector3& colour) {
        const glm::vec3 corners[] = {o - a - b, o + a - b, o + a + b, o - a + b};
        for (int i = 0; i < 4; ++i)
            drawer->drawLine(ToBullet(corners[i]), ToBullet(corners[(i + 1) % 4]), colour);
    };
    if (document.IsValidIndex(selectedIndex)) {
        const btVector3 colour(guideColour.r, guideColour.g, guideColour.b);
        const glm::vec3& o = guideOrigin;
        const float h = guideHalfSize;
        if (movementMode >= kAxisX) {
            const glm::vec3 axis = axes[movementMode - kAxisX] * h;
            drawer->drawLine(ToBullet(o - axis), ToBullet(o + axis), colour);
        } else {
            // The two axes spanning the plane: XZ, YZ, XY.
            static const int spans[3][2] = {{0, 2}, {1, 2}, {0, 1}};
            square(o, axes[spans[movementMode][0]] * h, axes[spans[movementMode][1]] * h, colour);
        }
    }
    float reach = guideHalfSize; // from the anchor, for the mirror planes to cover the model
    const glm::vec3 anchor = document.GetVoxelData(anchorIndex).position;
    for (std::size_t i = 0; i < voxels.size(); ++i) {
        const auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[i]);
        if (transform == nullptr || !ObjectManager::IsValid(voxels[i]))
            continue;
        const float half = static_cast<int>(i) == anchorIndex ? 0.6f : 0.5f;
        const btVector3 colour =
            static_cast<int>(i) == selectedIndex ? btVector3(1, 0, 1) : btVector3(1, 1, 1);
        drawer->drawBox(ToBullet(transform->position - half), ToBullet(transform->position + half),
                        colour);
        const glm::vec3 d = glm::abs(transform->position - anchor);
        reach = std::max({reach, d.x + 1.0f, d.y + 1.0f, d.z + 1.0f});
    }
    // Each mirror plane as a square through the anchor with a cross on it, in the
    // colour of its axis.
    if (!document.IsValidIndex(anchorIndex))
        return;
    for (int axis = 0; axis < 3; ++axis) {
        if (!document.mirror[axis])
            continue;
        const glm::vec3 c = kMirrorColours[axis];
        const btVector3 colour(c.r, c.g, c.b);
        const glm::vec3 a = axes[across[axis][0]] * reach;
        const glm::vec3 b = axes[across[axis][1]] * reach;
        square(anchor, a, b, colour);
        drawer->drawLine(ToBullet(anchor - a), ToBullet(anchor + a), colour);
        drawer->drawLine(ToBullet(anchor - b), ToBullet(anchor + b), colour);
    }
}

void ModelEditor::ShowMouseCursor(bool visible) {
    WindowSystem* window = Core::Instance().WindowSystem_;
    if (window != nullptr && window->IsOpen())
        window->GetWindow().setMouseCursorVisible(visible);
}

void ModelEditor::Save() {
    if (files.IsSaveTaken())
        Ask("Are you sure you want to overwrite the existing save file (" + document.fileName +
                ".vxm)?",
            Pending::Overwrite);
    else if (files.Save())
        RememberView();
}

bool ModelEditor::LoadSelectedModel() {
    // Loading makes voxels the ordinary way, which the volume mode would refuse.
    if (volumeMode)
        volumeCreation->Leave();
    VoxelModel model;
    std::string name;
    if (!files.ReadSelectedModel(model, name))
        return false;
    RememberView();
    document.Replace(model, name.size() >= 4 ? name.substr(0, name.size() - 4) : name,
                     "Load Model");
    if (const auto view = views.find(name); view != views.end())
        camera.SetView(view->second);
    files.SetStatus("Loaded " + name);
    return true;
}

void ModelEditor::AskNewModel() {
    Ask("Are you sure you want to abandon unsaved changes and start a new model?",
        Pending::NewModel);
}

void ModelEditor::StartNewModel() {
    RememberView();
    document.Replace(VoxelModel(), ModelDocument::kNewModelName, "New Model");
}

void ModelEditor::EnterVolumeMode() {
    if (volumeMode)
        return;
    document.Deselect();
    volumeMode = true;
    volumeCreation->Enter();
}

void ModelEditor::UpdateModelInfo() {
    const std::vector<GameObject>& voxels = document.GetVoxels();
    voxelCount = static_cast<std::int32_t>(voxels.size());
    glm::vec3 low(0.0f), high(0.0f);
    bool any = false;
    for (const GameObject& v : voxels)
        if (const auto* transform = ObjectManager::GetComponent<TransformComponent>(v)) {
            low = any ? glm::min(low, transform->position) : transform->position;
            high = any ? glm::max(high, transform->position) : transform->position;
            any = true;
        }
    // Each voxel is one unit wide: a row from x = 0 to x = 2 is 3 voxels long.
    modelLow = low;
    modelHigh = high;
    const glm::vec3 extent = any ? high - low + 1.0f : glm::vec3(0.0f);
    std::string size = Figure(extent.x) + " x " + Figure(extent.y) + " x " + Figure(extent.z);
    if (size != modelSize)
        modelSize = std::move(size);
}

void ModelEditor::RememberView() {
    if (ObjectManager::IsValid(camera.GetObject()))
        views[document.fileName + ".vxm"] = camera.GetView();
}

std::optional<CameraView> ModelEditor::GetRememberedView(const std::string& file) const {
    const auto view = views.find(file);
    if (view == views.end())
        return std::nullopt;
    return view->second;
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
        if (files.Save())
            RememberView();
    } else if (action == Pending::NewModel) {
        StartNewModel();
    }
}

void ModelEditor::AnswerNo() {
    CloseQuestion();
}
