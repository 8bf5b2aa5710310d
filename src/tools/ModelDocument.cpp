#include "tools/ModelDocument.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <tuple>

#include "core/Core.h"
#include "graphics/TransformComponent.h"
#include "objects/ObjectManager.h"
#include "physics/BodyComponent.h"
#include "physics/Shape.h"
#include "voxels/VoxelComponent.h"
#include "voxels/VoxelModel.h"

#include <BulletCollision/CollisionShapes/btBoxShape.h>

namespace {

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

} // namespace

void ModelDocument::Reset() {
    voxels.clear();
    drag = Drag();
    CloseColourStep();
    recordingDepth = 0;
    mirror[0] = mirror[1] = mirror[2] = false;
    selectedIndex = anchorIndex = -1;
    fileName = kNewModelName;
}

void ModelDocument::Close() {
    FinishDrag();
    CloseColourStep();
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
            left.ops.push_back({VoxelOp::kRemove, i, GetVoxelData(i), VoxelData()});
        history.Push(std::move(left));
    }
    Deselect();
    voxels.clear();
}

int ModelDocument::InsertVoxelObject(int index, const VoxelData& data) {
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

void ModelDocument::EraseVoxelObject(int index) {
    if (!IsValidIndex(index))
        return;
    if (recordingDepth > 0)
        recording.ops.push_back({VoxelOp::kRemove, index, GetVoxelData(index), VoxelData()});
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

void ModelDocument::SetVoxelData(int index, const VoxelData& data) {
    if (!IsValidIndex(index))
        return;
    if (recordingDepth > 0)
        recording.ops.push_back({VoxelOp::kChange, index, GetVoxelData(index), data});
    if (auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[index]))
        transform->position = data.position;
    if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
        voxel->color = data.colour;
}

VoxelData ModelDocument::GetVoxelData(int index) const {
    VoxelData data;
    if (!IsValidIndex(index))
        return data;
    if (const auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[index]))
        data.position = transform->position;
    if (const auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
        data.colour = voxel->color;
    return data;
}

std::vector<VoxelData> ModelDocument::GetVoxelData() const {
    std::vector<VoxelData> data;
    data.reserve(voxels.size());
    for (int i = 0; i < static_cast<int>(voxels.size()); ++i)
        data.push_back(GetVoxelData(i));
    return data;
}

void ModelDocument::EraseVoxelSwappingLast(int index) {
    const int last = static_cast<int>(voxels.size()) - 1;
    if (index != last) {
        SetVoxelData(index, GetVoxelData(last));
        if (anchorIndex == last)
            anchorIndex = index;
        if (selectedIndex == last)
            selectedIndex = index;
    }
    EraseVoxelObject(last);
}

void ModelDocument::DeleteAllVoxels() {
    Deselect();
    for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i)
        EraseVoxelObject(i);
    anchorIndex = -1;
}

void ModelDocument::BeginStep(const std::string& name) {
    if (recordingDepth++ > 0)
        return;
    FinishDrag();
    CloseColourStep();
    recording = EditStep();
    recording.name = name;
    recording.anchorBefore = anchorIndex;
}

std::uint64_t ModelDocument::EndStep() {
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

void ModelDocument::Replay(const std::vector<const EditStep*>& steps, bool forward) {
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

bool ModelDocument::Undo() {
    FinishDrag();
    CloseColourStep();
    const std::vector<const EditStep*> steps = history.Undo();
    if (steps.empty())
        return false;
    Replay(steps, false);
    return true;
}

bool ModelDocument::Redo() {
    FinishDrag();
    CloseColourStep();
    const std::vector<const EditStep*> steps = history.Redo();
    if (steps.empty())
        return false;
    Replay(steps, true);
    return true;
}

bool ModelDocument::UndoStep(std::uint64_t id) {
    const EditStep* last = history.LastRealDone();
    return id != 0 && last != nullptr && last->id == id && Undo();
}

void ModelDocument::PutAnchorFirst() {
    if (!IsValidIndex(anchorIndex) || anchorIndex == 0)
        return;
    // Not an edit, but the history's indices must follow the list.
    FinishDrag();
    CloseColourStep();
    EditStep reorder;
    reorder.name = "Anchor First";
    reorder.anchorBefore = anchorIndex;
    reorder.anchorAfter = 0;
    reorder.ops.push_back({VoxelOp::kChange, 0, GetVoxelData(0), GetVoxelData(anchorIndex)});
    reorder.ops.push_back(
        {VoxelOp::kChange, anchorIndex, GetVoxelData(anchorIndex), GetVoxelData(0)});
    history.PushBookkeeping(std::move(reorder));
    std::swap(voxels[0], voxels[anchorIndex]);
    if (selectedIndex == 0)
        selectedIndex = anchorIndex;
    else if (selectedIndex == anchorIndex)
        selectedIndex = 0;
    anchorIndex = 0;
}

VoxelModel ModelDocument::GetModel() const {
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

void ModelDocument::Replace(const VoxelModel& model, const std::string& name,
                            const std::string& stepName) {
    BeginStep(stepName);
    recording.fileNameBefore = fileName;
    DeleteAllVoxels();
    for (const VoxelInstance& v : model.voxels)
        InsertVoxelObject(static_cast<int>(voxels.size()), {glm::vec3(v.position), v.color});
    fileName = name;
    recording.fileNameAfter = fileName;
    EndStep();
}

GameObject ModelDocument::CreateVoxel(std::optional<glm::vec3> position,
                                      std::optional<glm::vec4> colour) {
    const std::size_t first = voxels.size();
    CreateVoxels({{position.value_or(glm::vec3(0.0f)), colour.value_or(kGreen)}}, "Create Voxel");
    return voxels.size() > first ? voxels[first] : GameObject();
}

std::uint64_t ModelDocument::CreateVoxels(const std::vector<VoxelData>& made,
                                          const std::string& stepName) {
    if (made.empty())
        return 0;
    BeginStep(stepName);
    const glm::vec3 origin =
        IsValidIndex(anchorIndex) ? GetVoxelData(anchorIndex).position : made.front().position;
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

bool ModelDocument::IsValidIndex(int index) const {
    return index >= 0 && static_cast<std::size_t>(index) < voxels.size();
}

void ModelDocument::Select(int index) {
    if (!IsValidIndex(index))
        return;
    CloseColourStep();
    selectedIndex = index;
    TellSelection();
}

void ModelDocument::Deselect() {
    CloseColourStep();
    selectedIndex = -1;
    TellSelection();
}

void ModelDocument::TellSelection() const {
    if (selectionChanged)
        selectionChanged();
}

bool ModelDocument::MakeSelectedTheAnchor() {
    if (!IsValidIndex(selectedIndex) || selectedIndex == anchorIndex)
        return false;
    BeginStep("Set Anchor");
    anchorIndex = selectedIndex;
    EndStep();
    return true;
}

void ModelDocument::DeleteSelectedVoxel() {
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

void ModelDocument::DuplicateSelectedVoxel() {
    if (IsValidIndex(selectedIndex))
        CreateVoxels({GetVoxelData(selectedIndex)}, "Duplicate Voxel");
}

void ModelDocument::RemoveVoxels(const std::vector<GameObject>& objects) {
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

void ModelDocument::BeginDrag() {
    if (!IsValidIndex(selectedIndex))
        return;
    FinishDrag();
    CloseColourStep();
    drag.active = true;
    drag.targets = {{selectedIndex, 0}};
    for (const MirrorTarget& t : FindMirrorVoxels(selectedIndex))
        drag.targets.push_back(t);
    drag.start.clear();
    for (const MirrorTarget& t : drag.targets)
        drag.start.push_back(GetVoxelData(t.index));
}

void ModelDocument::MoveDragged(const glm::vec3& offset) {
    if (!drag.active || drag.targets.front().index != selectedIndex)
        return;
    auto* transform = ObjectManager::GetComponent<TransformComponent>(voxels[selectedIndex]);
    if (transform == nullptr)
        return;
    glm::vec3& p = transform->position;
    p += offset;
    // Each mirror voxel moves by the drag's offset reflected on its axes.
    const glm::vec3 moved = p - drag.start.front().position;
    for (std::size_t i = 1; i < drag.targets.size(); ++i) {
        glm::vec3 reflected = moved;
        for (int axis = 0; axis < 3; ++axis)
            if (drag.targets[i].axes & (1 << axis))
                reflected[axis] = -reflected[axis];
        if (auto* t =
                ObjectManager::GetComponent<TransformComponent>(voxels[drag.targets[i].index]))
            t->position = drag.start[i].position + reflected;
    }
}

void ModelDocument::FinishDrag() {
    if (!drag.active)
        return;
    drag.active = false;
    EditStep moved;
    moved.name = "Move Voxel";
    moved.anchorBefore = moved.anchorAfter = anchorIndex;
    for (std::size_t i = 0; i < drag.targets.size(); ++i) {
        const VoxelData now = GetVoxelData(drag.targets[i].index);
        if (now != drag.start[i])
            moved.ops.push_back({VoxelOp::kChange, drag.targets[i].index, drag.start[i], now});
    }
    if (!moved.ops.empty()) {
        CloseColourStep();
        history.Push(std::move(moved));
    }
}

void ModelDocument::SetSelectedColour(const glm::vec4& colour) {
    if (!IsValidIndex(selectedIndex))
        return;
    const auto* selected = ObjectManager::GetComponent<VoxelComponent>(voxels[selectedIndex]);
    if (selected == nullptr || selected->color == colour)
        return;
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
            VoxelData after = GetVoxelData(index);
            after.colour = colour;
            recoloured.ops.push_back({VoxelOp::kChange, index, GetVoxelData(index), after});
        }
        colourStep = history.Push(std::move(recoloured));
    } else {
        // The same edit going on: the step grows rather than the history.
        for (VoxelOp& op : history.LastDone()->ops)
            op.after.colour = colour;
    }
    for (const int index : colourTargets)
        if (IsValidIndex(index))
            if (auto* voxel = ObjectManager::GetComponent<VoxelComponent>(voxels[index]))
                voxel->color = colour;
}

void ModelDocument::CloseColourStep() {
    colourStep = 0;
    colourTargets.clear();
}

bool ModelDocument::IsMirroring() const {
    return mirror[0] || mirror[1] || mirror[2];
}

std::vector<ModelDocument::MirrorImage> ModelDocument::MirrorImages(const glm::vec3& position,
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

std::vector<ModelDocument::MirrorTarget> ModelDocument::FindMirrorVoxels(int index) const {
    std::vector<MirrorTarget> found;
    if (!IsMirroring() || !IsValidIndex(index) || !IsValidIndex(anchorIndex))
        return found;
    const glm::vec3 origin = GetVoxelData(anchorIndex).position;
    for (const MirrorImage& image : MirrorImages(GetVoxelData(index).position, origin))
        for (int i = static_cast<int>(voxels.size()) - 1; i >= 0; --i) {
            const bool taken =
                i == index || std::any_of(found.begin(), found.end(),
                                          [i](const MirrorTarget& t) { return t.index == i; });
            if (!taken && SamePlace(GetVoxelData(i).position, image.position)) {
                found.push_back({i, image.axes});
                break;
            }
        }
    return found;
}
