#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

#include "objects/GameObject.h"
#include "tools/EditHistory.h"

class VoxelModel;

// The voxel model being edited: its voxels as live objects (transform, kinematic box body
// for the mouse pick, voxel colour) in list order, the anchor, the selection, the mirror
// axes and the undo history, with no window or panel. Every edit is a step of the one
// history, which outlives the editor's sessions: leaving the editor is itself a step, so
// the model left behind can be undone back. With mirror axes on, an edit also acts on the
// voxels at the mirrored positions, the mirror planes passing through the anchor voxel.
class ModelDocument {
  public:
    static constexpr const char* kNewModelName = "ModelName1";

    // Forgets the voxels (their objects go with the state) and everything about them,
    // but not the history.
    void Reset();
    // Leaving the editor: the model left behind becomes one step, then the list empties.
    void Close();

    // The voxel is added to the end of the list; the first voxel of an empty model
    // becomes the anchor. Left out, the position is the origin and the colour opaque
    // green; every position is a real one, (-1, -1, -1) included. Its mirror images
    // follow it; the handle is the voxel's own.
    GameObject CreateVoxel(std::optional<glm::vec3> position = std::nullopt,
                           std::optional<glm::vec4> colour = std::nullopt);
    // Makes these voxels and their mirror images as one step; returns the step's id, 0
    // when nothing was made. With no anchor yet the first voxel becomes it, and the
    // mirror planes pass through it.
    std::uint64_t CreateVoxels(const std::vector<VoxelData>& made,
                               const std::string& stepName = "Create Voxels");
    void Select(int index);
    void Deselect();
    void DeleteSelectedVoxel();
    void DuplicateSelectedVoxel();
    // False when the selected voxel already is the anchor, or nothing is selected.
    bool MakeSelectedTheAnchor();
    // Removes these voxels (those still in the model) and keeps the selection and the
    // anchor on the voxels that remain.
    void RemoveVoxels(const std::vector<GameObject>& objects);
    // Replaces every voxel with the model's, as one step that also renames the model.
    void Replace(const VoxelModel& model, const std::string& name, const std::string& stepName);
    // Recolours the selected voxel and its mirror voxels. While the same selection is
    // recoloured again and again (a colour being dragged) it is one growing step.
    void SetSelectedColour(const glm::vec4& colour);

    // A drag of the selected voxel: its mirror voxels move by the offset reflected on
    // their axes, and the whole drag is one step, made when it finishes.
    void BeginDrag();
    // Only a drag that started on the selected voxel moves it: one cut short by an undo
    // waits for the next press.
    void MoveDragged(const glm::vec3& offset);
    void FinishDrag();

    // Take back or do again one step; false when there is none. The selection stays
    // on an edit that changed voxels in place and is let go after one that added or
    // removed voxels; the anchor is the one the step had.
    bool Undo();
    bool Redo();
    // Undoes that step if it is the latest one done (the volume mode's undo of its last
    // block); false otherwise.
    bool UndoStep(std::uint64_t id);
    // Puts the anchor first, as the model file holds it. Not an edit: the history only
    // follows the new order.
    void PutAnchorFirst();

    // The edited voxels as the model file holds them: relative to the anchor.
    VoxelModel GetModel() const;
    const EditHistory& GetHistory() const { return history; }
    // The model's voxels as data, in list order.
    std::vector<VoxelData> GetVoxelData() const;
    VoxelData GetVoxelData(int index) const;
    const std::vector<GameObject>& GetVoxels() const { return voxels; }
    int GetSelectedIndex() const { return selectedIndex; }
    int GetAnchorIndex() const { return anchorIndex; }
    bool IsValidIndex(int index) const;
    // Told after every change of the selection, a voxel chosen again included.
    void SetSelectionListener(std::function<void()> listener) {
        selectionChanged = std::move(listener);
    }

    // The model's name, without folder and extension; bound to the "Filename" field.
    std::string fileName = kNewModelName;
    // Bound to the main panel's "Mirror X/Y/Z".
    bool mirror[3] = {false, false, false};

  private:
    // A voxel acted on with the one the user picked: its index and the axes (bits 0-2
    // for x, y, z) along which it is that voxel's mirror image.
    struct MirrorTarget {
        int index;
        int axes;
    };
    struct MirrorImage {
        int axes;
        glm::vec3 position;
    };
    // A drag under way: the voxels it moves (the selected one first) as they were at
    // the press.
    struct Drag {
        bool active = false;
        std::vector<MirrorTarget> targets;
        std::vector<VoxelData> start;
    };

    // The only ways the voxel list changes. While a step is being recorded each of
    // them adds its op to it; the anchor and selection indices follow the list.
    int InsertVoxelObject(int index, const VoxelData& data);
    void EraseVoxelObject(int index);
    void SetVoxelData(int index, const VoxelData& data);
    // Swaps the last voxel into the place of the erased one.
    void EraseVoxelSwappingLast(int index);
    void DeleteAllVoxels();

    // Steps recorded from ops; nested calls make one step of the outermost.
    void BeginStep(const std::string& name);
    std::uint64_t EndStep();
    void Replay(const std::vector<const EditStep*>& steps, bool forward);
    void CloseColourStep();
    void TellSelection() const;

    bool IsMirroring() const;
    // The mirror images of a position about planes through `origin`, without the
    // position itself and each place once.
    std::vector<MirrorImage> MirrorImages(const glm::vec3& position, const glm::vec3& origin) const;
    // The voxels at the mirror images of voxel `index`: for each image the last voxel
    // there not already taken.
    std::vector<MirrorTarget> FindMirrorVoxels(int index) const;

    std::vector<GameObject> voxels;
    int selectedIndex = -1;
    int anchorIndex = -1;
    std::function<void()> selectionChanged;

    EditHistory history;
    EditStep recording;
    int recordingDepth = 0;
    Drag drag;
    // The colour step still growing while the selected voxel's colour is dragged, and
    // the voxels it recolours.
    std::uint64_t colourStep = 0;
    std::vector<int> colourTargets;
};
