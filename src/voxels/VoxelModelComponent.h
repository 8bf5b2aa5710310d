#pragma once

#include <cmath>

#include <glm/vec3.hpp>

#include "objects/Component.h"
#include "voxels/VoxelModelHandle.h"

// Shows a voxel model, normally an entry of the graphics system's model cache, at the
// object's transform. A cached model is shared, never owned; a model built by a script
// (VoxelModel::NewShared) is kept alive while the component shows it.
class VoxelModelComponent : public Component {
  public:
    void OnAdd() override;
    void OnRemove() override;

    // Half the size of the model's bounding box as drawn: in its own space times voxelScale;
    // offset, orientation and transform do not enter. Without a model it is what an empty
    // model gives.
    glm::vec3 GetHalfExtents() const;

    // A size the model can be drawn at: finite and above 0.
    static bool IsVoxelScale(float scale) { return std::isfinite(scale) && scale > 0.0f; }

    // model and alpha are left alone by attach, as whoever adds the component sets them;
    // these are only the values of a slot that was never used. Detaching lets go of a
    // shared model (the slot then shows none) so a removed component keeps nothing alive.
    VoxelModelHandle model;
    bool visible = true;
    bool oriented = false;
    // Exactly 1.0 draws the model with the opaque voxels; anything else sorts every voxel
    // of it among the see-through ones.
    float alpha = 1.0f;
    glm::vec3 originOffset{0.0f, 0.0f, 0.0f};
    // Every voxel is drawn this many times its size, and every voxel position and the
    // origin offset are scaled by it about the object's position. 1 after each attach.
    float voxelScale = 1.0f;
};
