#pragma once

#include <glm/vec2.hpp>

#include "objects/Component.h"

// Stamps walls into the grid of every attached PathfindingComponent: once,
// on the first game-logic frame after the component was added (and then on
// each frame until its object is valid). Moving the obstacle later leaves
// its walls where they were.
class ObstacleComponent : public Component {
  public:
    // Arms the stamp again; useModelExtents back to false. The size, the
    // threshold and the interest flag keep their values.
    void OnAdd() override;

    // Called by the game logic once per frame.
    void Update();

    // Half size along world x and world z.
    glm::vec2 halfExtents{0.0f, 0.0f};
    // Take the half extents from the object's voxel model instead.
    bool useModelExtents = false;
    // The share of a cell (or of the footprint, if smaller) it must cover to
    // become a wall; 0 walls every cell. A slot never used starts at a half.
    float wallThreshold = 0.5f;
    // Also record the free cells around the walls, for agents to go to.
    bool isInterestObject = false;

  private:
    void Stamp();

    bool stampPending = false;
};
