#pragma once

class VoxelModel;

// How a component holds the model it shows: a plain pointer to a model someone else owns
// (the graphics system's cache), and one of the holders of a shared model, so a model
// built by a script lives as long as anything shows it. Reads and compares like the
// pointer it holds.
class VoxelModelHandle {
  public:
    VoxelModelHandle() = default;
    VoxelModelHandle(VoxelModel* model) { Reset(model); } // NOLINT: stands in for a pointer
    VoxelModelHandle(const VoxelModelHandle& other) { Reset(other.model); }
    VoxelModelHandle& operator=(const VoxelModelHandle& other) {
        Reset(other.model);
        return *this;
    }
    VoxelModelHandle& operator=(VoxelModel* other) {
        Reset(other);
        return *this;
    }
    ~VoxelModelHandle() { Reset(nullptr); }

    VoxelModel* Get() const { return model; }
    operator VoxelModel*() const { return model; } // NOLINT
    VoxelModel* operator->() const { return model; }
    VoxelModel& operator*() const { return *model; }

    // Whether the model is a shared one this handle counts as a holder of.
    bool IsHolding() const { return holding; }

    // Holds `other` instead; the previous model is let go after, so resetting to the
    // same model never frees it on the way. Whether a model is shared is asked only
    // while it is taken: a model someone else owns may be gone by the time the handle
    // lets go of it (a cache emptied first), and is then never touched.
    void Reset(VoxelModel* other);

  private:
    VoxelModel* model = nullptr;
    bool holding = false;
};
