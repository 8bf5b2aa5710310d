#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <glm/vec3.hpp>
#include <glm/vec4.hpp>

// What a voxel of the edited model is, apart from the game object that shows it. The
// history keeps only these: the editor makes new objects whenever it is entered, and a
// handle kept across that would name an object that is gone.
struct VoxelData {
    glm::vec3 position{0.0f};
    glm::vec4 colour{0.0f, 1.0f, 0.0f, 1.0f};

    bool operator==(const VoxelData& other) const {
        return position == other.position && colour == other.colour;
    }
    bool operator!=(const VoxelData& other) const { return !(*this == other); }
};

// One change to the editor's voxel list, at the index it had when it was made: a voxel
// inserted there (`after`), erased from there (`before`), or changed in place.
struct VoxelOp {
    enum Kind : std::uint8_t { kAdd, kRemove, kChange };

    Kind kind = kChange;
    int index = 0;
    VoxelData before;
    VoxelData after;

    // The op that takes this one back.
    VoxelOp Inverse() const;
};

// Everything one user action did, as the ops in the order they were made. Replaying the
// ops forwards redoes the action; their inverses in reverse order undo it.
struct EditStep {
    std::uint64_t id = 0; // given by the history; never 0 for a recorded step
    std::string name;
    std::vector<VoxelOp> ops;
    int anchorBefore = -1;
    int anchorAfter = -1;
    // Only for the actions that rename the model (New, Load): the name before and after.
    std::optional<std::string> fileNameBefore;
    std::optional<std::string> fileNameAfter;
    // Reorders the list without changing the model (saving puts the anchor first). Such a
    // step is never undone or redone on its own, only on the way to a real one.
    bool bookkeeping = false;

    bool ChangesVoxelCount() const;
    // The step that takes this one back.
    EditStep Inverse() const;
};

// The editor's undo history: a command log of steps and a cursor between the steps
// done and those undone. Unbounded: every step holds only what it changed (a
// replaced model holds the voxels it replaced), so memory is the only limit.
class EditHistory {
  public:
    // Adds a step after those done; the undone ones can no longer be redone. Returns the
    // step's id.
    std::uint64_t Push(EditStep step);
    // Adds a bookkeeping step without dropping what can be redone: its inverse is kept
    // right after it, so a redo first puts the list back in the order the undone steps
    // were recorded against.
    void PushBookkeeping(EditStep step);

    bool CanUndo() const;
    bool CanRedo() const;
    // The steps one undo takes back, in the order to take them back (bookkeeping steps
    // on the way, then one real step); empty when nothing can be undone.
    std::vector<const EditStep*> Undo();
    // The steps one redo does again, in order (one real step and the bookkeeping
    // around it); empty when nothing can be redone.
    std::vector<const EditStep*> Redo();

    // The latest step done, so that an edit still going on (a colour being dragged) can
    // grow it; null when none is done.
    EditStep* LastDone();
    const EditStep* LastDone() const;
    // The latest step done that is not bookkeeping; null when none.
    const EditStep* LastRealDone() const;

    // Real steps only.
    std::size_t GetUndoCount() const;
    std::size_t GetRedoCount() const;
    void Clear();

  private:
    std::vector<EditStep> steps;
    std::size_t done = 0; // steps[0, done) are done
    std::uint64_t nextId = 1;
};
