#pragma once

#include <vector>

#include <glm/vec3.hpp>

#include "objects/GameObject.h"

class btCollisionObject;
class btCollisionShape;
class btCollisionWorld;

// The objects whose bodies overlap `shape` placed at `center`, each once, by
// id. A body is considered as a ray query considers it: its group must meet
// `mask` and its mask must hold group 1. The ground plane and bodies no
// component owns are left out.
std::vector<GameObject> FindOverlaps(btCollisionWorld& world, btCollisionShape& shape,
                                     const glm::vec3& center, int mask);
