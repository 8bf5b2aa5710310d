#pragma once

#include <glm/gtc/quaternion.hpp>
#include <glm/vec2.hpp>
#include <glm/vec3.hpp>

#include "objects/Component.h"

struct Texture;

// A texture drawn as a rectangle in the world at the object's position, in the plane its
// own orientation gives (the world x-y plane by default, facing +z). It does not turn
// towards the camera, and it is drawn only in frames that have an active camera.
class BillboardComponent : public Component {
  public:
    // A new billboard, also on a reused slot, starts from the values below.
    void OnAdd() override;

    Texture* texture = nullptr; // an entry of the graphics system's cache, never owned
    float alpha = 0.0f;         // drawn as at most 1
    bool visible = true;
    glm::vec2 scale{0.0f, 0.0f}; // half width and half height in world units
    glm::vec3 offset{0.0f, 0.0f, 0.0f};
    glm::quat orientation{1.0f, 0.0f, 0.0f, 0.0f}; // identity (glm takes w first)
};
