#include "tools/ModelEditor.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <set>
#include <tuple>

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
#include "voxels/MeshExport.h"
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

const char* const kNewModelName = "ModelName1";
const glm::vec4 kGreen(0.0f, 1.0f, 0.0f, 1.0f);

// Positions that drags and mirrors compute differ in the last bits of a float; closer
// than this they are one place.
constexpr float kSamePlace = 1e-3f;

bool SamePlace(const glm::vec3& a, const glm::vec3& b) {
    const glm::vec3 d = glm::abs(a - b);
    return d.x < kSamePlace && d.y < kSamePlace && d.z < kSamePlace;
}

using PlaceKey = std::tuple<long long, long long, long long>;
PlaceKey KeyOf(const glm::vec3& p) {
    const auto k = [](float v) { return std::llround(static_cast<double>(v) / kSamePlace); };
    return {k(p.x), k(p.y), k(p.z)};
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

ModelEditor::ModelEditor() = default;
ModelEditor::~ModelEditor() = default;

std::string ModelEditor::GetModelsFolder() {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/");
}

namespace {
// Where saves go: the player's save folder when the game has one. Loads look there
// first (ResolvePath), so a saved model replaces the one the game shipped.
std::string SaveModelsFolder() {
    return ResolveWritePath(std::string(kDefaultResourceFolder) + "Models/");
}
std::string ModelPath(const std::string& name) {
    return ResolvePath(std::string(kDefaultResourceFolder) + "Models/" + name);
}
} // namespace

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
    drag = Drag();
    CloseColourStep();
    recordingDepth = 0;
    mirror[0] = mirror[1] = mirror[2] = false;
    selectedIndex = anchorIndex = -1;
    leftButtonHeld = rightButtonHeld = false;
    propertiesBarPending = propertiesBarShown = false;
    guideOrigin = glm::vec3(0.0f);
    guideHalfSize = 5.0f;
    guideColour = glm::vec4(1.0f);
    fileName = kNewModelName;
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
    // CTRL+Z is no panel shortcut: the first panel whose shortcut matches takes a key, and
    // while the volume mode is on its own CTRL+Z (its last block) must be the one that
    // acts. HandleMessage takes the key when no panel did.
    mainPanel.AddButton(
        "Undo (can press 'CTRL+Z')", [](void* e) { Editor(e).Undo(); }, this);
    mainPanel.AddButton(
        "Redo (can press 'CTRL+Y')", [](void* e) { Editor(e).Redo(); }, this, " key=CTRL+y");
    mainPanel.AddVar("Mirror X", kTweakBool8, &mirror[0]);
    mainPanel.AddVar("Mirror Y", kTweakBool8, &mirror[1]);
    mainPanel.AddVar("Mirror Z", kTweakBool8, &mirror[2]);
    UpdateModelInfo();
    mainPanel.AddVar("Voxel Count", kTweakInt32, &voxelCount, " readonly=true");
    mainPanel.AddVar("Model Size (voxels)", kTweakStdString, &modelSize, " readonly=true");
    mainPanel.AddButton(
        "Export Mesh", [](void* e) { Editor(e).ExportModelMesh(); }, this);
    modelListShown = false;
    RefreshModelList();
    lastModelPoll = std::chrono::steady_clock::now();

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
    FinishDrag();
    CloseColourStep();
    RememberView();
    // The objects go with the state, and the editor comes back with an empty model: the
    // model left behind is a step, so that an undo after coming back brings it back.
    if (!voxels.empty() || fileName != kNewModelName) {
        EditStep left;
        left.name = "Leave Editor";
        left.anchorBefore = anchorIndex;
        left.anchorAfter = -1;
        left.fileNameBefore = fileName;
        left.fileNameAfter = kNewModelName;
        for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i)
            left.ops.push_back({VoxelOp::kRemove, i, DataOf(i), VoxelData()});
        history.Push(std::move(left));
    }
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
            if (voxel->color != selectedColour)
                RecolourSelected();
    if (propertiesBarPending) {
        propertiesBarPending = false;
        if (IsValidIndex(selectedIndex))
            BuildPropertiesPanel();
    }
    if (volumeMode)
        volumeCreation->Update(dt);
    UpdateModelInfo();
    const auto now = std::chrono::steady_clock::now();
    if (now - lastModelPoll >= std::chrono::seconds(1)) {
        lastModelPoll = now;
        PollModelFolder();
    }
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
    } else if (const auto* key = message.As<KeyboardMessage>()) {
        // Only keys no panel took arrive here; the console's typing must not undo.
        if (key->state == KS_PRESSED && key->ctrl && !key->alt && key->key == 'z' &&
            AreKeysSteering()) {
            if (key->shift)
                Redo();
            else if (volumeMode)
                volumeCreation->Undo();
            else
                Undo();
        }
    } else if (message->id == MID_DebugDrawMessage) {
        DrawGuides();
    }
}

int ModelEditor::InsertVoxelObject(int index, const VoxelData& data) {
    const GameObject obj = Core::Instance().objectManager->NewObject();
    auto* transform = ObjectManager::AddComponent<TransformComponent>(obj);
    auto* body = ObjectManager::AddComponent<BodyComponent>(obj);
    auto* voxel = ObjectManager::AddComponent<VoxelComponent>(obj);
    if (transform == nullptr || body == nullptr || voxel == nullptr)
        return -1;
    voxel->color = data.colour;
    body->isKinematic = true;
    body->initialMass = 1.0f;
    body->pendingShape =
        Shape::Add(ShapeKind::Box, std::make_unique<btBoxShape>(btVector3(0.49f, 0.49f, 0.49f)));
    body->collisionType = 1;
    body->collidesWith = 7;
    transform->position = data.position;
    ObjectManager::InitializeObj(obj);
    index = std::clamp(index, 0, static_cast<int>(voxels.size()));
    voxels.insert(voxels.begin() + index, obj);
    if (anchorIndex >= index)
        ++anchorIndex;
    if (selectedIndex >= index)
        ++selectedIndex;
    if (recordingDepth > 0)
        recording.ops.push_back({VoxelOp::kAdd, index, VoxelData(), data});
    return index;
}

void ModelEditor::EraseVoxelObject(int index) {
    if (!IsValidIndex(index))
        return;
    if (recordingDepth > 0)
        recording.ops.push_back({VoxelOp::kRemove, index, DataOf(index), VoxelData()});
    if (index == selectedIndex)
        Deselect();
    else if (selectedIndex > index)
        --selectedIndex;
    if (index == anchorIndex)
        anchorIndex = -1;
    else if (anchorIndex > index)
        --anchorIndex;
    Core::Instance().objectManager->DeleteObject(voxels[index]);
    voxels.erase(voxels.begin() + index);
}

void ModelEditor::SetVoxelData(int index, const VoxelData& data) {
    if (!IsValidIndex(index))
        return;
    if (recordingDepth > 0)
        recording.ops.push_back({VoxelOp::kChange, index, DataOf(index), data});
    if (auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[index]))
        transform->position = data.position;
    if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
        voxel->color = data.colour;
}

VoxelData ModelEditor::DataOf(int index) const {
    VoxelData data;
    if (!IsValidIndex(index))
        return data;
    if (const auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[index]))
        data.position = transform->position;
    if (const auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
        data.colour = voxel->color;
    return data;
}

std::vector<VoxelData> ModelEditor::GetVoxelData() const {
    std::vector<VoxelData> data;
    data.reserve(voxels.size());
    for (int i = 0; i < static_cast<int>(voxels.size()); ++i)
        data.push_back(DataOf(i));
    return data;
}

void ModelEditor::EraseVoxelSwappingLast(int index) {
    const int last = static_cast<int>(voxels.size()) - 1;
    if (index != last) {
        SetVoxelData(index, DataOf(last));
        if (anchorIndex == last)
            anchorIndex = index;
        if (selectedIndex == last)
            selectedIndex = index;
    }
    EraseVoxelObject(last);
}

void ModelEditor::BeginStep(const std::string& name) {
    if (recordingDepth++ > 0)
        return;
    FinishDrag();
    CloseColourStep();
    recording = EditStep();
    recording.name = name;
    recording.anchorBefore = anchorIndex;
}

std::uint64_t ModelEditor::EndStep() {
    if (recordingDepth == 0 || --recordingDepth > 0)
        return 0;
    if (!IsValidIndex(anchorIndex))
        anchorIndex = voxels.empty() ? -1 : 0;
    recording.anchorAfter = anchorIndex;
    const bool renamed = recording.fileNameBefore != recording.fileNameAfter;
    if (recording.ops.empty() && recording.anchorBefore == recording.anchorAfter && !renamed)
        return 0;
    return history.Push(std::move(recording));
}

void ModelEditor::Replay(const std::vector<const EditStep*>& steps, bool forward) {
    bool reindexed = false;
    for (const EditStep* step : steps) {
        reindexed = reindexed || step->bookkeeping || step->ChangesVoxelCount();
        const auto apply = [this](const VoxelOp& op) {
            if (op.kind == VoxelOp::kAdd)
                InsertVoxelObject(op.index, op.after);
            else if (op.kind == VoxelOp::kRemove)
                EraseVoxelObject(op.index);
            else
                SetVoxelData(op.index, op.after);
        };
        if (forward)
            for (const VoxelOp& op : step->ops)
                apply(op);
        else
            for (auto it = step->ops.rbegin(); it != step->ops.rend(); ++it)
                apply(it->Inverse());
        anchorIndex = forward ? step->anchorAfter : step->anchorBefore;
        const std::optional<std::string>& name =
            forward ? step->fileNameAfter : step->fileNameBefore;
        if (name)
            fileName = *name;
    }
    if (!IsValidIndex(anchorIndex))
        anchorIndex = voxels.empty() ? -1 : 0;
    // After voxels came, went or were reordered the index no longer names what the user
    // picked.
    if (reindexed || !IsValidIndex(selectedIndex))
        Deselect();
    else
        Select(selectedIndex); // its colour, guides and anchor caption as they are now
}

bool ModelEditor::Undo() {
    FinishDrag();
    CloseColourStep();
    const std::vector<const EditStep*> steps = history.Undo();
    if (steps.empty())
        return false;
    Replay(steps, false);
    return true;
}

bool ModelEditor::Redo() {
    FinishDrag();
    CloseColourStep();
    const std::vector<const EditStep*> steps = history.Redo();
    if (steps.empty())
        return false;
    Replay(steps, true);
    return true;
}

bool ModelEditor::UndoStep(std::uint64_t id) {
    const EditStep* last = history.LastRealDone();
    return id != 0 && last != nullptr && last->id == id && Undo();
}

GameObject ModelEditor::CreateVoxel(std::optional<glm::vec3> position,
                                    std::optional<glm::vec4> colour, bool force) {
    if (!force && volumeMode)
        return GameObject();
    const std::size_t first = voxels.size();
    CreateVoxels({{position.value_or(glm::vec3(0.0f)), colour.value_or(kGreen)}}, "Create Voxel");
    return voxels.size() > first ? voxels[first] : GameObject();
}

std::uint64_t ModelEditor::CreateVoxels(const std::vector<VoxelData>& made,
                                        const std::string& stepName) {
    if (made.empty())
        return 0;
    BeginStep(stepName);
    const glm::vec3 origin =
        IsValidIndex(anchorIndex) ? DataOf(anchorIndex).position : made.front().position;
    std::set<PlaceKey> places;
    for (const VoxelData& v : made) {
        InsertVoxelObject(static_cast<int>(voxels.size()), v);
        places.insert(KeyOf(v.position));
    }
    // An image that falls on a voxel of this edit, or on another image, is not made:
    // mirroring never puts two voxels in one place.
    if (IsMirroring())
        for (const VoxelData& v : made)
            for (const MirrorImage& image : MirrorImages(v.position, origin))
                if (places.insert(KeyOf(image.position)).second)
                    InsertVoxelObject(static_cast<int>(voxels.size()), {image.position, v.colour});
    return EndStep();
}

bool ModelEditor::IsValidIndex(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < voxels.size();
}

void ModelEditor::Select(int index) {
    if (!IsValidIndex(index))
        return;
    CloseColourStep();
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
    CloseColourStep();
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
    BeginStep("Set Anchor");
    anchorIndex = selectedIndex;
    EndStep();
    if (propertiesBarShown) {
        propertiesPanel.RemoveVar(kSetAnchorLabel);
        propertiesPanel.AddCaption(kIsAnchorLabel);
    }
}

void ModelEditor::DeleteSelectedVoxel() {
    if (!IsValidIndex(selectedIndex))
        return;
    std::vector<int> doomed{selectedIndex};
    for (const MirrorTarget& t : FindMirrorVoxels(selectedIndex))
        doomed.push_back(t.index);
    Deselect();
    BeginStep("Delete Voxel");
    // From the back, so that the voxel swapped into a hole is never one still to go.
    std::sort(doomed.rbegin(), doomed.rend());
    bool anchorGone = false;
    for (const int index : doomed) {
        anchorGone = anchorGone || index == anchorIndex;
        EraseVoxelSwappingLast(index);
    }
    if (anchorGone)
        anchorIndex = voxels.empty() ? -1 : 0;
    EndStep();
}

void ModelEditor::DuplicateSelectedVoxel() {
    if (!IsValidIndex(selectedIndex) || volumeMode)
        return;
    CreateVoxels({DataOf(selectedIndex)}, "Duplicate Voxel");
}

void ModelEditor::RemoveVoxels(const std::vector<GameObject>& objects) {
    if (objects.empty())
        return;
    Deselect();
    BeginStep("Remove Voxels");
    for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i) {
        const GameObject& v = voxels[i];
        if (std::any_of(objects.begin(), objects.end(), [&](const GameObject& o) {
                return o.id == v.id && o.generation == v.generation;
            }))
            EraseVoxelObject(i);
    }
    EndStep(); // an anchor that went is replaced by the first voxel
}

void ModelEditor::DeleteAllVoxels() {
    Deselect();
    for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i)
        EraseVoxelObject(i);
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
    FinishDrag();
    CloseColourStep();
    drag.active = true;
    drag.targets = {{found, 0}};
    for (const MirrorTarget& t : FindMirrorVoxels(found))
        drag.targets.push_back(t);
    drag.start.clear();
    for (const MirrorTarget& t : drag.targets)
        drag.start.push_back(DataOf(t.index));
}

void ModelEditor::ReleaseLeftButton() {
    leftButtonHeld = false;
    FinishDrag();
    ShowMouseCursor(true);
}

void ModelEditor::FinishDrag() {
    if (!drag.active)
        return;
    drag.active = false;
    EditStep moved;
    moved.name = "Move Voxel";
    moved.anchorBefore = moved.anchorAfter = anchorIndex;
    for (std::size_t i = 0; i < drag.targets.size(); ++i) {
        const VoxelData now = DataOf(drag.targets[i].index);
        if (now != drag.start[i])
            moved.ops.push_back({VoxelOp::kChange, drag.targets[i].index, drag.start[i], now});
    }
    if (!moved.ops.empty()) {
        CloseColourStep();
        history.Push(std::move(moved));
    }
}

void ModelEditor::DragSelected(int dx, int dy) {
    // Only a drag that started with a press on this voxel moves it: one cut short by an
    // undo waits for the next press.
    if (!drag.active || drag.targets.front().index != selectedIndex)
        return;
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
    // Each mirror voxel moves by the drag's offset reflected on its axes.
    const glm::vec3 offset = p - drag.start.front().position;
    for (std::size_t i = 1; i < drag.targets.size(); ++i) {
        glm::vec3 reflected = offset;
        for (int axis = 0; axis < 3; ++axis)
            if (drag.targets[i].axes & (1 << axis))
                reflected[axis] = -reflected[axis];
        if (auto* t =
                ObjectManager::GetComponent<TransformComponent>(voxels[drag.targets[i].index]))
            t->position = drag.start[i].position + reflected;
    }
}

void ModelEditor::RecolourSelected() {
    const EditStep* open = history.LastDone();
    if (colourStep == 0 || open == nullptr || open->id != colourStep) {
        // A new colour edit: of the selected voxel and of its mirror voxels as they are now.
        FinishDrag();
        colourTargets = {selectedIndex};
        for (const MirrorTarget& t : FindMirrorVoxels(selectedIndex))
            colourTargets.push_back(t.index);
        EditStep recoloured;
        recoloured.name = "Recolour Voxel";
        recoloured.anchorBefore = recoloured.anchorAfter = anchorIndex;
        for (const int index : colourTargets) {
            VoxelData after = DataOf(index);
            after.colour = selectedColour;
            recoloured.ops.push_back({VoxelOp::kChange, index, DataOf(index), after});
        }
        colourStep = history.Push(std::move(recoloured));
    } else {
        // The same edit going on: the step grows rather than the history.
        for (VoxelOp& op : history.LastDone()->ops)
            op.after.colour = selectedColour;
    }
    for (const int index : colourTargets)
        if (IsValidIndex(index))
            if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
                voxel->color = selectedColour;
}

void ModelEditor::CloseColourStep() {
    colourStep = 0;
    colourTargets.clear();
}

bool ModelEditor::IsMirroring() const {
    return mirror[0] || mirror[1] || mirror[2];
}

std::vector<ModelEditor::MirrorImage> ModelEditor::MirrorImages(const glm::vec3& position,
                                                                const glm::vec3& origin) const {
    std::vector<MirrorImage> images;
    const int enabled = (mirror[0] ? 1 : 0) | (mirror[1] ? 2 : 0) | (mirror[2] ? 4 : 0);
    for (int axes = 1; axes < 8; ++axes) {
        if ((axes & ~enabled) != 0)
            continue;
        glm::vec3 image = position;
        for (int axis = 0; axis < 3; ++axis)
            if (axes & (1 << axis))
                image[axis] = 2.0f * origin[axis] - position[axis];
        // On a plane the image is the voxel itself, or an image already found.
        const bool repeated = SamePlace(image, position) ||
                              std::any_of(images.begin(), images.end(), [&](const MirrorImage& m) {
                                  return SamePlace(m.position, image);
                              });
        if (!repeated)
            images.push_back({axes, image});
    }
    return images;
}

std::vector<ModelEditor::MirrorTarget> ModelEditor::FindMirrorVoxels(int index) const {
    std::vector<MirrorTarget> found;
    if (!IsMirroring() || !IsValidIndex(index) || !IsValidIndex(anchorIndex))
        return found;
    const glm::vec3 origin = DataOf(anchorIndex).position;
    for (const MirrorImage& image : MirrorImages(DataOf(index).position, origin))
        for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i) {
            const bool taken =
                i == index || std::any_of(found.begin(), found.end(),
                                          [i](const MirrorTarget& t) { return t.index == i; });
            if (!taken && SamePlace(DataOf(i).position, image.position)) {
                found.push_back({i, image.axes});
                break;
            }
        }
    return found;
}

void ModelEditor::DrawGuides() {
    PhysicsSystem* physics = Core::Instance().PhysicsSystem_;
    PhysicsDebugDrawer* drawer = physics ? physics->GetDebugDrawer() : nullptr;
    if (drawer == nullptr)
        return;
    const glm::vec3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    // The two axes spanning a plane, by the axis it is perpendicular to.
    static const int across[3][2] = {{1, 2}, {0, 2}, {0, 1}};
    const auto square = [&](const glm::vec3& o, const glm::vec3& a, const glm::vec3& b,
                            const btVector3& colour) {
        const glm::vec3 corners[] = {o - a - b, o + a - b, o + a + b, o - a + b};
        for (int i = 0; i < 4; ++i)
            drawer->drawLine(ToBullet(corners[i]), ToBullet(corners[(i + 1) % 4]), colour);
    };
    if (IsValidIndex(selectedIndex)) {
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
    const glm::vec3 anchor = DataOf(anchorIndex).position;
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
    if (!IsValidIndex(anchorIndex))
        return;
    for (int axis = 0; axis < 3; ++axis) {
        if (!mirror[axis])
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
    const std::string name = fileName + ".vxm";
    if (!IsUsableName(fileName)) {
        SetStatus("Cannot save: '" + fileName + "' is not a file name");
        return;
    }
    std::error_code error;
    const bool exists = std::find(modelNames.begin(), modelNames.end(), name) != modelNames.end() ||
                        std::filesystem::exists(ModelPath(name), error);
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
        // Not an edit, but the history's indices must follow the list.
        FinishDrag();
        CloseColourStep();
        EditStep reorder;
        reorder.name = "Anchor First";
        reorder.anchorBefore = anchorIndex;
        reorder.anchorAfter = 0;
        reorder.ops.push_back({VoxelOp::kChange, 0, DataOf(0), DataOf(anchorIndex)});
        reorder.ops.push_back({VoxelOp::kChange, anchorIndex, DataOf(anchorIndex), DataOf(0)});
        history.PushBookkeeping(std::move(reorder));
        std::swap(voxels[0], voxels[anchorIndex]);
        if (selectedIndex == 0)
            selectedIndex = anchorIndex;
        else if (selectedIndex == anchorIndex)
            selectedIndex = 0;
        anchorIndex = 0;
    }
    const VoxelModel model = CurrentModel();
    const std::string name = fileName + ".vxm";
    const std::string folder = SaveModelsFolder();
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (!model.SaveToFile(folder + name)) {
        SetStatus("Could not save " + name + " (see standard error)");
        return false;
    }
    SetStatus("Saved " + name);
    RememberView();
    lastSavedModel = std::string(kDefaultResourceFolder) + "Models/" + name;
    RefreshCachedModel(folder + name);
    return true;
}

VoxelModel ModelEditor::CurrentModel() const {
    // Every position is relative to the anchor, as the model is saved.
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
    return model;
}

bool ModelEditor::ExportModelMesh() {
    if (!IsUsableName(fileName)) {
        SetStatus("Cannot export: '" + fileName + "' is not a file name");
        return false;
    }
    const std::string name = fileName + ".glb";
    const std::string folder = SaveModelsFolder();
    std::error_code created;
    std::filesystem::create_directories(folder, created);
    std::string error;
    if (!ExportMesh(CurrentModel(), folder + name, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        SetStatus("Could not export " + name + " (see standard error)");
        return false;
    }
    SetStatus("Exported " + name);
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
    if (!model.LoadFromFile(ModelPath(name))) {
        SetStatus("Could not load " + name + "; the model is unchanged");
        return false;
    }
    RememberView();
    BeginStep("Load Model");
    recording.fileNameBefore = fileName;
    DeleteAllVoxels();
    for (const VoxelInstance& v : model.voxels)
        InsertVoxelObject(static_cast<int>(voxels.size()), {glm::vec3(v.position), v.color});
    fileName = name.size() >= 4 ? name.substr(0, name.size() - 4) : name;
    recording.fileNameAfter = fileName;
    EndStep();
    if (const auto view = views.find(name); view != views.end())
        camera.SetView(view->second);
    SetStatus("Loaded " + name);
    return true;
}

void ModelEditor::AskNewModel() {
    Ask("Are you sure you want to abandon unsaved changes and start a new model?",
        Pending::NewModel);
}

void ModelEditor::StartNewModel() {
    RememberView();
    BeginStep("New Model");
    recording.fileNameBefore = fileName;
    DeleteAllVoxels();
    fileName = kNewModelName;
    recording.fileNameAfter = fileName;
    EndStep();
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
    modelNames = ScanModelFolder();
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

std::vector<std::string> ModelEditor::ScanModelFolder() const {
    std::vector<std::string> names;
    // The game's models and the player's saved ones, each name once.
    for (const std::string& folder : {GetModelsFolder(), SaveModelsFolder()}) {
        std::error_code error;
        for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            const std::string name = it->path().filename().string();
            // The list's labels are joined with commas, so a comma would split a name.
            if (it->is_regular_file(error) && name.size() > 4 &&
                name.compare(name.size() - 4, 4, ".vxm") == 0 &&
                name.find(',') == std::string::npos)
                names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

void ModelEditor::PollModelFolder() {
    // One read of the folder's entries; the panel is rebuilt only when the names differ.
    if (ScanModelFolder() != modelNames)
        RefreshModelList();
}

void ModelEditor::UpdateModelInfo() {
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
    const glm::vec3 extent = any ? high - low + 1.0f : glm::vec3(0.0f);
    std::string size = Figure(extent.x) + " x " + Figure(extent.y) + " x " + Figure(extent.z);
    if (size != modelSize)
        modelSize = std::move(size);
}

void ModelEditor::RememberView() {
    if (ObjectManager::IsValid(camera.GetObject()))
        views[fileName + ".vxm"] = camera.GetView();
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
