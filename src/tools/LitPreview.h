#pragma once

#include <glm/vec3.hpp>

#include "graphics/LightingSettings.h"
#include "objects/GameObject.h"
#include "voxels/VoxelModel.h"

// The model editor's "Lit preview": while it is on, the model is lit as a game with
// lighting shows it (sun, occluded corners, a shadow on a plate under the model), so an
// artist judges colours in the light they will be seen in. The game's own lighting is
// kept aside and comes back when the preview is turned off or the editor closes.
class LitPreview {
  public:
    // Follows `enabled` (the panel's field) and keeps the plate under the model, whose
    // voxel centres span low..high (nothing when `any` is false).
    void Update(const glm::vec3& low, const glm::vec3& high, bool any);
    // Puts the game's lighting back and removes the plate; the field stays as it is.
    void Close();

    bool enabled = false;

  private:
    void TurnOn();
    void PlacePlate(const glm::vec3& low, const glm::vec3& high, bool any);

    bool applied = false;
    LightingSettings gameLighting;
    VoxelModel plateModel;
    GameObject plate;
};
